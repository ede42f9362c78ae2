// common/TextBuffer.h
// A bounded builder over a caller's char array. An append that would not fit leaves the
// text as it was and marks the whole build as failed, so a path is refused, never cut.
// Windows-free.
#pragma once

class TextBuffer {
public:
    TextBuffer(char *buffer, int size) : buffer_(buffer), size_(size), length_(0), ok_(size > 0)
    {
        if (ok_)
            buffer_[0] = 0;
    }
    TextBuffer(const TextBuffer &) = delete;
    TextBuffer &operator=(const TextBuffer &) = delete;

    TextBuffer &Append(const char *text)
    {
        int n = 0;
        while (text[n] != 0 && n < size_)
            ++n;
        return Append(text, n);
    }

    TextBuffer &Append(const char *text, int count)
    {
        if (!ok_ || count < 0 || count >= size_ - length_) {
            ok_ = false;
            return *this;
        }
        for (int i = 0; i < count; ++i)
            buffer_[length_ + i] = text[i];
        length_ += count;
        buffer_[length_] = 0;
        return *this;
    }

    bool Ok() const { return ok_; }
    int Length() const { return length_; }

private:
    char *buffer_;
    int size_;
    int length_;
    bool ok_;
};

// Copies `text` into `out` of `size` bytes; false (and `out` empty) when it does not fit.
inline bool CopyText(char *out, int size, const char *text)
{
    TextBuffer buffer(out, size);
    buffer.Append(text);
    if (!buffer.Ok() && size > 0)
        out[0] = 0;
    return buffer.Ok();
}
