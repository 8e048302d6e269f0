// What the fuzz targets share: input reading, exactly sized heap blocks, checks, a code page 932 walk.
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H
#define TESTS_FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "../../src/common/path.h"

// The part of the fuzz input not read yet.
struct Input {
    const uint8_t *at;
    size_t left;
};

// Reads up to the next newline (dropped) or the end of the input.
inline std::string TakeLine(Input &in)
{
    const void *newline = memchr(in.at, '\n', in.left);
    size_t length = newline ? (size_t)((const uint8_t *)newline - in.at) : in.left;
    std::string line((const char *)in.at, length);
    in.at += length + (newline ? 1 : 0);
    in.left -= length + (newline ? 1 : 0);
    return line;
}

// The rest of the input, NUL bytes included.
inline std::string TakeBytes(Input &in)
{
    std::string bytes((const char *)in.at, in.left);
    in.at += in.left;
    in.left = 0;
    return bytes;
}

// A line as a C string would see it: cut at its first NUL.
inline std::string AsText(const std::string &bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

// The decimal numbers of one line; a number too big saturates, missing ones are fallback.
inline std::vector<unsigned long long> TakeNumbers(Input &in, size_t wanted, unsigned long long fallback)
{
    std::string line = AsText(TakeLine(in));
    std::vector<unsigned long long> numbers;
    const char *at = line.c_str();
    while (numbers.size() < wanted) {
        char *end = nullptr;
        unsigned long long number = strtoull(at, &end, 10);
        if (end == at) break;
        numbers.push_back(number);
        at = end;
    }
    numbers.resize(wanted, fallback);
    return numbers;
}

// A NUL-terminated copy of text in a heap block of exactly its size, so ASan sees a read past it.
inline std::unique_ptr<char[]> HeapText(const std::string &text)
{
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// An output area of exactly size bytes, filled with a non-NUL byte so a missing terminator shows.
inline std::unique_ptr<char[]> HeapArea(size_t size)
{
    std::unique_ptr<char[]> area(new char[size]);
    memset(area.get(), 'x', size);
    return area;
}

// A broken invariant: abort, so that libFuzzer keeps the input.
inline void Check(bool holds, const char *what)
{
    if (holds) return;
    fprintf(stderr, "fuzz check failed: %s\n", what);
    abort();
}

// Whether area (size bytes) holds a NUL, and so a string that ends inside it.
inline bool Terminated(const char *area, size_t size)
{
    return memchr(area, '\0', size) != nullptr;
}

// The offsets at which text's characters start: a lead byte and the byte after it are one
// character, a lead byte at the very end stands alone.
inline std::vector<size_t> CharacterStarts(const std::string &text)
{
    std::vector<size_t> starts;
    size_t at = 0;
    while (at < text.size()) {
        starts.push_back(at);
        at += IsLeadByte((unsigned char)text[at]) && at + 1 < text.size() ? 2 : 1;
    }
    return starts;
}

// text without the backslash characters that end it.
inline std::string WithoutTrailingBackslashes(const std::string &text)
{
    std::vector<size_t> starts = CharacterStarts(text);
    size_t end = text.size();
    while (!starts.empty() && starts.back() == end - 1 && text[end - 1] == '\\') {
        end = starts.back();
        starts.pop_back();
    }
    return text.substr(0, end);
}

#endif
