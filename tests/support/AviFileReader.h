// A small reader of the AVI files the recorder writes, for tests: it walks the RIFF chunks as a
// player does (sizes and lists, not fixed offsets) and checks that the sizes agree with the
// file, the index with the frame chunks, and the headers with each other.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velcor::test {

struct AviFile {
    std::vector<uint8_t> bytes;
    // Empty when the file is valid.
    std::string problem;
    uint32_t riffSize = 0;
    uint32_t movieListSize = 0;
    uint32_t microsecondsPerFrame = 0;
    uint32_t maxBytesPerSecond = 0;
    uint32_t totalFrames = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    struct Entry {
        uint32_t flags;
        uint32_t offset;
        uint32_t size;
    };
    std::vector<Entry> index;
    // File offsets of the pixels of each frame chunk, in file order.
    std::vector<size_t> framePixels;
    uint32_t frameBytes = 0;

    bool Valid() const { return problem.empty(); }
    uint32_t U32(size_t at) const {
        uint32_t v;
        std::memcpy(&v, &bytes[at], 4);
        return v;
    }
    // Pixel (x, y) of a frame, y counted from the picture's top row, as B, G, R.
    const uint8_t* Pixel(size_t frame, int x, int y) const {
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        return &bytes[framePixels[frame] + stride * static_cast<size_t>(height - 1 - y) +
                      static_cast<size_t>(3 * x)];
    }
};

inline AviFile ReadAvi(const std::string& path) {
    AviFile avi;
    std::ifstream in(path, std::ios::binary);
    avi.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto& b = avi.bytes;
    auto id = [&](size_t at) { return at + 4 <= b.size() ? std::string(&b[at], &b[at] + 4) : ""; };
    auto fail = [&](const std::string& why) {
        if (avi.problem.empty()) avi.problem = why;
        return avi;
    };
    if (b.size() < 12 || id(0) != "RIFF" || id(8) != "AVI ") return fail("no RIFF AVI header");
    avi.riffSize = avi.U32(4);
    if (uint64_t{avi.riffSize} + 8 != b.size()) return fail("RIFF size is not the file's");
    size_t pos = 12;
    bool sawHeaders = false, sawMovie = false, sawIndex = false;
    size_t movieStart = 0;
    while (pos + 8 <= b.size()) {
        const std::string chunk = id(pos);
        const uint32_t size = avi.U32(pos + 4);
        if (pos + 8 + uint64_t{size} > b.size()) return fail(chunk + " runs past the end");
        if (chunk == "LIST" && id(pos + 8) == "hdrl") {
            sawHeaders = true;
            if (id(pos + 12) != "avih" || avi.U32(pos + 16) != 56) return fail("no avih");
            const size_t m = pos + 20;
            avi.microsecondsPerFrame = avi.U32(m);
            avi.maxBytesPerSecond = avi.U32(m + 4);
            avi.totalFrames = avi.U32(m + 16);
            const size_t strl = m + 56;
            if (id(strl) != "LIST" || id(strl + 8) != "strl" || id(strl + 12) != "strh")
                return fail("no strl");
            const size_t s = strl + 20;
            if (id(s) != "vids" || id(s + 4) != "DIB ") return fail("not a DIB video stream");
            avi.scale = avi.U32(s + 20);
            avi.rate = avi.U32(s + 24);
            avi.length = avi.U32(s + 32);
            const size_t strf = s + avi.U32(strl + 16);
            if (id(strf) != "strf") return fail("no strf");
            std::memcpy(&avi.width, &b[strf + 12], 4);
            std::memcpy(&avi.height, &b[strf + 16], 4);
            std::memcpy(&avi.bitCount, &b[strf + 22], 2);
        } else if (chunk == "LIST" && id(pos + 8) == "movi") {
            sawMovie = true;
            avi.movieListSize = size;
            movieStart = pos + 8;
            for (size_t c = pos + 12; c < pos + 8 + size;) {
                if (id(c) != "00db") return fail("unknown chunk in the movie list");
                const uint32_t frameSize = avi.U32(c + 4);
                avi.frameBytes = frameSize;
                avi.framePixels.push_back(c + 8);
                c += 8 + frameSize + (frameSize & 1);
            }
        } else if (chunk == "idx1") {
            sawIndex = true;
            for (size_t e = pos + 8; e + 16 <= pos + 8 + size; e += 16) {
                if (id(e) != "00db") return fail("index entry of another chunk");
                avi.index.push_back({avi.U32(e + 4), avi.U32(e + 8), avi.U32(e + 12)});
            }
        }
        pos += 8 + size + (size & 1);
    }
    if (pos != b.size()) return fail("trailing bytes");
    if (!sawHeaders || !sawMovie || !sawIndex) return fail("headers, movie list or index missing");
    if (avi.index.size() != avi.framePixels.size()) return fail("index and frames differ");
    if (avi.totalFrames != avi.index.size() || avi.length != avi.index.size())
        return fail("frame counts in the headers differ from the index");
    for (size_t i = 0; i < avi.index.size(); ++i) {
        if (movieStart + avi.index[i].offset + 8 != avi.framePixels[i])
            return fail("index offset " + std::to_string(i) + " misses its chunk");
    }
    return avi;
}

}  // namespace velcor::test
