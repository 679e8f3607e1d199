#include "ScriptedPort.h"

namespace cvi::test {

void ScriptedPort::arrive(double t, const QByteArray& bytes, double spacing) {
    if (spacing <= 0) {
        clock_.at(t, [this, bytes] {
            if (!open_) return;
            buffer_ += bytes;
            emit readyRead();
        });
        return;
    }
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        clock_.at(t + i * spacing, [this, c] {
            if (!open_) return;
            buffer_ += c;
            emit readyRead();
        });
    }
}

void ScriptedPort::loseAt(double t) {
    clock_.at(t, [this] {
        if (!open_ || lost_) return;
        lost_ = true;
        emit deviceLost();
        open_ = false;
    });
}

void ScriptedPort::open(const PortSettings& s) {
    if (openFailure) {
        const auto kind = *openFailure;
        openFailure.reset();
        throw PortError(kind, QStringLiteral("scripted failure"));
    }
    settings = s;
    open_ = true;
    lost_ = false;
    ++opens;
}

void ScriptedPort::write(const QByteArray& bytes) {
    if (!open_) throw PortError(PortError::Kind::NotOpen, QStringLiteral("not open"));
    writes.append({clock_.now(), bytes});
    if (onWrite) onWrite(bytes, clock_.now());
}

QByteArray ScriptedPort::read(int maxBytes) {
    const QByteArray out = buffer_.left(maxBytes);
    buffer_.remove(0, out.size());
    charsRead += out.size();
    return out;
}

bool ScriptedPort::waitForInput(double seconds, int moreThan) {
    const double deadline = clock_.now() + seconds;
    while (buffer_.size() <= moreThan) {
        if (!open_ || lost_) return false;
        const auto due = clock_.nextDue();
        if (due && *due <= deadline) {
            clock_.advanceTo(*due);
        } else {
            clock_.advanceTo(deadline);
            break;
        }
    }
    return buffer_.size() > moreThan;
}

QByteArray ScriptedPort::writtenBytes() const {
    QByteArray all;
    for (const auto& w : writes)
        all += w.bytes;
    return all;
}

} // namespace cvi::test
