// Shared by the fuzzing harnesses: a failed property stops the run with its reason, and the input
// is taken apart into small numbers and texts.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that must hold for every input; a violation aborts, which the fuzzer records as a
// finding and the corpus replay as a failed test.
#define FUZZ_CHECK(cond, what)                                                                    \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            std::fprintf(stderr, "%s:%d: property failed: %s\n  %s\n", __FILE__, __LINE__, #cond, \
                         QString(what).toUtf8().constData());                                     \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace varnot::fuzz {

// Reads an input front to back; past its end every read gives zero or an empty text.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }

    QByteArray bytes(std::size_t n) {
        if (n > left()) n = left();
        QByteArray out(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
        pos_ += n;
        return out;
    }
    // A text of at most 255 bytes, its length first, read as UTF-8.
    QString text() { return QString::fromUtf8(bytes(byte())); }
    QByteArray rest() { return bytes(left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace varnot::fuzz
