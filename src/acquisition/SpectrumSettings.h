#pragma once
// What the spectrum graph asks the acquisition engine to compute.

struct SpectrumSettings {
    int length = 8192;       // FFT length N: the newest N records are transformed
    int selector = 1;        // BPM1 record word transformed; BPM2 uses the word 4 further
    bool removeDC = false;   // subtract the mean before the transform
    int mode = 0;            // 0 amplitude spectrum, 1 cumulative RMS above DC
};
