#pragma once
// Whether text written through a stream reached its file. A full disk or a lost
// network share shows only when the buffers go out, so the stream's state, the
// flush and the close all count: a cut-off file must never pass for a saved one.

class QFile;
class QString;
class QTextStream;

class SavedFile
{
public:
    // Flushes `out` and `file` and closes the file. False when anything written did
    // not reach it; `error` then says why.
    static bool close(QTextStream &out, QFile &file, QString *error);
};
