#pragma once
// The start-up steps that read the configuration and talk to the controller, kept
// out of main so that they can be tested on their own.

class StartUp
{
public:
    // Per-BPM scale, offset and distance from the configuration store into the
    // process-wide arrays; a missing key reads 0.0 and replaces the initial value. A
    // file that is missing or holds nothing readable, or values in it that are not
    // numbers, are reported at Warn first.
    static void loadBpmCalibration();

    // Version texts, display rate 1000 Hz in mode 0, ROC checks with both beam-off
    // checks cleared (left alone when they cannot be read), and the loops' BPM sources.
    static void sendDeviceDefaults();
};
