#pragma once
// Never rotates; each opening starts an empty log.

#include "RotationStrategy.h"

namespace Logging {

class NullRotationStrategy : public RotationStrategy
{
public:
    void start(const QFile &) override {}
    void account(const QString &) override {}
    void account(const QByteArray &) override {}
    bool shouldRotate() override { return false; }
    void rotate() override {}
    QIODevice::OpenMode openMode() const override { return QIODevice::Truncate; }
};

} // namespace Logging
