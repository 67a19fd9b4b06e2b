#include "EncoderBoxes.h"

#include "NivraLibrary.h"

EncoderBoxes EncoderBoxes::read()
{
    int first = 0;
    int second = 0;
    EncoderBoxes boxes;
    // A failed query is no answer, not an answer of "no boxes".
    if (getTovashes(&first, &second) < 0)
        return boxes;
    boxes.known = (first == 0 || first == 1) && (second == 0 || second == 1);
    boxes.bpm1 = first == 1;
    boxes.bpm2 = second == 1;
    return boxes;
}
