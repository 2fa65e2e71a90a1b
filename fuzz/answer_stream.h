// The fuzzer's input as the answers of a system and a drive. Discovery reads
// from the front and the upgrade from the back, so that a change to one part
// does not shift every answer of the other. Once the input is used up every
// answer is 0, which each reader takes as the ordinary, good answer: a short
// input is a well-behaved machine.
#pragma once

#include <cstddef>
#include <cstdint>

class AnswerStream {
public:
    AnswerStream(const std::uint8_t* data, std::size_t size) : front_(data), back_(data + size) {}

    std::uint8_t Front() { return front_ < back_ ? *front_++ : 0; }
    std::uint8_t Back() { return front_ < back_ ? *--back_ : 0; }

private:
    const std::uint8_t* front_;
    const std::uint8_t* back_;
};

// One end of the stream.
class Answers {
public:
    Answers(AnswerStream& stream, bool fromBack) : stream_(stream), fromBack_(fromBack) {}

    std::uint8_t Byte() { return fromBack_ ? stream_.Back() : stream_.Front(); }
    std::uint32_t Word()
    {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i)
            word |= std::uint32_t(Byte()) << (8 * i);
        return word;
    }
    // Fills `count` bytes, with zeros once the input is used up.
    void Fill(std::uint8_t* to, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            to[i] = Byte();
    }

private:
    AnswerStream& stream_;
    bool fromBack_;
};
