#pragma once
// Which live graph a data container belongs to: the first argument of
// Updater::setGraphData. The values are fixed; the graph wiring passes them as ints.

enum GraphDataKind : int {
    GraphXYBpm1 = 0,       // XY scatter of BPM1, one container
    GraphXYBpm2 = 1,       // XY scatter of BPM2, one container
    GraphSpectrum = 2,     // spectrum, index 0 BPM1, 1 BPM2
    GraphEncoderBpm1 = 3,  // BPM1 encoder channels 0-3
    GraphEncoderBpm2 = 4,  // BPM2 encoder channels 0-3
    GraphPositionX = 5,    // X position, index = BPM
    GraphPositionY = 6,    // Y position, index = BPM
    GraphDacOutput = 7,    // DAC output channels 0-3
    GraphAngleX = 8,       // X angle, index = BPM
    GraphAngleY = 9,       // Y angle, index = BPM
    GraphDataKindCount = 10
};
