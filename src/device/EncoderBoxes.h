#pragma once
// Which BPMs an encoder box serves, as the controller reports it: one flag per
// BPM. A value other than 0 or 1 in either place (a failed query included) makes
// the whole answer unusable.

struct EncoderBoxes {
    bool known = false;
    bool bpm1 = false;
    bool bpm2 = false;

    static EncoderBoxes read();

    // Shown: the BPM has a box and the answer is usable.
    bool shows(int bpm) const { return known && (bpm == 0 ? bpm1 : bpm2); }
};
