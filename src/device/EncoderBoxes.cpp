#include "EncoderBoxes.h"

#include "NivraLibrary.h"

EncoderBoxes EncoderBoxes::read()
{
    int first = 0;
    int second = 0;
    // A failed query writes nothing: its zeros would read as "no box anywhere".
    const bool answered = getTovashes(&first, &second) >= 0;
    EncoderBoxes boxes;
    boxes.known = answered && (first == 0 || first == 1) && (second == 0 || second == 1);
    boxes.bpm1 = first == 1;
    boxes.bpm2 = second == 1;
    return boxes;
}
