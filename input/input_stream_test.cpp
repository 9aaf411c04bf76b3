#include "input/input_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using input::Compression;
using input::InputStream;
using input::LineReader;

namespace {

struct Content {
    bool ok = false;
    std::string bytes;
    std::string error;
    Compression compression = Compression::none;
};

// Reads a whole file through InputStream in pieces of `piece` bytes.
Content read_all(const std::string& path, std::size_t piece = 777) {
    Content c;
    InputStream in;
    if (!in.open(path)) {
        c.error = in.error();
        return c;
    }
    c.compression = in.compression();
    std::vector<char> buffer(piece);
    long got;
    while ((got = in.read(buffer.data(), piece)) > 0) c.bytes.append(buffer.data(), got);
    c.ok = got == 0 && !in.failed();
    c.error = in.error();
    return c;
}

std::string without_cr(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Each compressed file decompresses to its twin. The compressed copies of
// sample.rnx have CR LF line ends where the plain twin has LF alone.
TEST(InputStream, CompressedFilesGiveTheirTwins) {
    struct Pair {
        const char* packed;
        const char* plain;
        Compression kind;
    };
    for (const Pair& p : {Pair{"sample.rnx.gz", "sample.rnx", Compression::gzip},
                          Pair{"sample.rnx.Z", "sample.rnx", Compression::compress},
                          Pair{"sample.crx.gz", "sample.crx", Compression::gzip},
                          Pair{"sample.crx.Z", "sample.crx", Compression::compress}}) {
        const Content c = read_all(testkit::test_data_path(p.packed));
        ASSERT_TRUE(c.ok) << p.packed << ": " << c.error;
        EXPECT_EQ(c.compression, p.kind) << p.packed;
        if (p.plain == std::string("sample.rnx")) {
            EXPECT_NE(c.bytes.find("\r\n"), std::string::npos) << p.packed;
        }
        EXPECT_EQ(without_cr(c.bytes), testkit::read_file(testkit::test_data_path(p.plain)))
            << p.packed;
        // Byte by byte, so that output waits inside the decompressor.
        const Content bytewise = read_all(testkit::test_data_path(p.packed), 1);
        EXPECT_TRUE(bytewise.ok) << p.packed << ": " << bytewise.error;
        EXPECT_EQ(bytewise.bytes, c.bytes) << p.packed;
    }
    const Content plain = read_all(testkit::test_data_path("delf0010.21o"));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.compression, Compression::none);
    EXPECT_EQ(plain.bytes, testkit::read_file(testkit::test_data_path("delf0010.21o")));
}

// The first bytes decide, not the name.
TEST(InputStream, WrappingIsToldByContentNotName) {
    testkit::ScratchDir dir;
    const std::string packed = testkit::read_file(testkit::test_data_path("sample.rnx.gz"));
    const std::string plain = testkit::read_file(testkit::test_data_path("sample.rnx"));
    testkit::write_file(dir.file("looks_plain.rnx"), packed);
    testkit::write_file(dir.file("looks_packed.gz"), plain);
    testkit::write_file(dir.file("one_byte.gz"), "\x1f");
    testkit::write_file(dir.file("empty.Z"), "");

    Content c = read_all(dir.file("looks_plain.rnx"));
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.compression, Compression::gzip);
    EXPECT_EQ(without_cr(c.bytes), plain);

    c = read_all(dir.file("looks_packed.gz"));
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.compression, Compression::none);
    EXPECT_EQ(c.bytes, plain);

    c = read_all(dir.file("one_byte.gz"));
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.bytes, "\x1f");

    c = read_all(dir.file("empty.Z"));
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.bytes, "");
}

// A damaged or cut gzip stream is an error, never a shorter file.
TEST(InputStream, DamagedGzipIsAnError) {
    testkit::ScratchDir dir;
    const std::string packed = testkit::read_file(testkit::test_data_path("sample.rnx.gz"));
    ASSERT_GT(packed.size(), 100u);
    std::vector<std::string> variants = {packed.substr(0, packed.size() / 2),
                                         packed.substr(0, packed.size() - 4),
                                         packed.substr(0, packed.size() - 1), packed.substr(0, 12)};
    std::string flipped = packed;
    flipped[packed.size() / 2] = static_cast<char>(flipped[packed.size() / 2] ^ 0x55);
    variants.push_back(flipped);
    for (std::size_t i = 0; i < variants.size(); ++i) {
        testkit::write_file(dir.file("bad.gz"), variants[i]);
        const Content c = read_all(dir.file("bad.gz"));
        EXPECT_FALSE(c.ok) << "variant " << i << " read " << c.bytes.size() << " bytes";
        EXPECT_NE(c.error.find("gzip stream"), std::string::npos) << c.error;
    }
}

// Concatenated members are one stream; zero bytes after the last member are
// padding; other bytes after it are an error.
TEST(InputStream, GzipMembersAndWhatFollowsThem) {
    testkit::ScratchDir dir;
    const std::string packed = testkit::read_file(testkit::test_data_path("sample.rnx.gz"));
    const std::string plain = testkit::read_file(testkit::test_data_path("sample.rnx"));

    testkit::write_file(dir.file("two.gz"), packed + packed);
    Content c = read_all(dir.file("two.gz"));
    EXPECT_TRUE(c.ok) << c.error;
    EXPECT_EQ(without_cr(c.bytes), plain + plain);

    testkit::write_file(dir.file("padded.gz"), packed + std::string(100, '\0'));
    c = read_all(dir.file("padded.gz"));
    EXPECT_TRUE(c.ok) << c.error;
    EXPECT_EQ(without_cr(c.bytes), plain);

    for (const std::string& tail : {std::string("garbage"), std::string(3, '\0') + "x"}) {
        testkit::write_file(dir.file("tail.gz"), packed + tail);
        c = read_all(dir.file("tail.gz"));
        EXPECT_FALSE(c.ok);
        EXPECT_NE(c.error.find("gzip stream"), std::string::npos) << c.error;
    }
}

// Gzip of `text` made here, so that the stream can be larger than the
// decompressing thread's ring of buffers without a large file in the tree.
std::string gzip_of(const std::string& text) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// About 3 MB of numbered lines that do not repeat, several times the ring.
std::string long_text() {
    std::string text;
    unsigned x = 12345;
    for (int i = 0; text.size() < 3'000'000; ++i) {
        x = x * 1103515245u + 12345u;
        text += std::to_string(i) + " " + std::to_string(x % 100000007u) + " " +
                std::string(1 + x % 40, static_cast<char>('a' + i % 26)) + "\n";
    }
    return text;
}

// A stream longer than the ring arrives whole and in order, whatever the size
// of the pieces the reader asks for.
TEST(InputStream, LongGzipStreamArrivesWhole) {
    testkit::ScratchDir dir;
    const std::string text = long_text();
    testkit::write_file(dir.file("long.gz"), gzip_of(text));
    for (std::size_t piece : {std::size_t{777}, std::size_t{300'000}, std::size_t{4'000'000}}) {
        const Content c = read_all(dir.file("long.gz"), piece);
        ASSERT_TRUE(c.ok) << c.error;
        EXPECT_TRUE(c.bytes == text) << "piece " << piece << ": " << c.bytes.size() << " bytes";
    }
}

// How many bytes zlib gets out of a cut gzip stream before its input ends.
std::size_t inflatable(const std::string& packed, std::size_t limit) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, 16 + MAX_WBITS), Z_OK);
    std::string out(limit, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_NO_FLUSH), Z_OK);
    const std::size_t n = z.total_out;
    inflateEnd(&z);
    return n;
}

// A break far into a long stream: everything before it is delivered, then
// the error, never an early end.
TEST(InputStream, BreakInLongGzipComesAfterTheDataBeforeIt) {
    testkit::ScratchDir dir;
    const std::string text = long_text();
    const std::string packed = gzip_of(text);
    const std::string cut = packed.substr(0, packed.size() * 3 / 4);
    testkit::write_file(dir.file("cut.gz"), cut);
    const Content c = read_all(dir.file("cut.gz"), 5000);
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.error.find("cut gzip stream"), std::string::npos) << c.error;
    const std::size_t before = inflatable(cut, text.size());
    EXPECT_GT(before, text.size() / 2);
    EXPECT_EQ(c.bytes.size(), before);
    EXPECT_TRUE(c.bytes == text.substr(0, before));

    // Damage inside: the error still comes, after much of the content.
    std::string flipped = packed;
    flipped[packed.size() * 3 / 4] = static_cast<char>(flipped[packed.size() * 3 / 4] ^ 0x5a);
    testkit::write_file(dir.file("bad.gz"), flipped);
    const Content d = read_all(dir.file("bad.gz"), 5000);
    EXPECT_FALSE(d.ok);
    EXPECT_NE(d.error.find("gzip stream"), std::string::npos) << d.error;
    EXPECT_GT(d.bytes.size(), text.size() / 2);
}

// Closing a stream whose decompression is ahead of the reader (the ring is
// full, the thread waits) or still running stops it; the stream opens again.
TEST(InputStream, ClosingEarlyStopsDecompression) {
    testkit::ScratchDir dir;
    const std::string text = long_text();
    testkit::write_file(dir.file("long.gz"), gzip_of(text));
    const std::string plain = testkit::read_file(testkit::test_data_path("sample.rnx"));
    for (int round = 0; round < 20; ++round) {
        InputStream in;
        ASSERT_TRUE(in.open(dir.file("long.gz")));
        if (round % 2 == 0) {
            char b[100];
            ASSERT_EQ(in.read(b, sizeof b), 100);
            EXPECT_EQ(std::string(b, 100), text.substr(0, 100));
        }
        in.close();
        EXPECT_FALSE(in.is_open());
        ASSERT_TRUE(in.open(testkit::test_data_path("sample.rnx.Z")));
        LineReader lines(in);
        std::string_view line;
        ASSERT_TRUE(lines.next(line));
        EXPECT_EQ(std::string(line) + "\n", plain.substr(0, plain.find('\n') + 1));
        // Left open: the destructor stops the thread.
    }
}

TEST(InputStream, MissingFileIsAnError) {
    testkit::ScratchDir dir;
    InputStream in;
    EXPECT_FALSE(in.open(dir.file("none.rnx")));
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // "'" + std::string.
    std::string expected = "'";
    expected += dir.file("none.rnx");
    expected += "' No such file or directory";
    EXPECT_EQ(in.error(), expected);
    char b[4];
    EXPECT_EQ(in.read(b, sizeof b), -1);
}

// Lines: LF and CR LF ends, a last line without an end, lines that cross the
// reader's blocks, and a line over the limit.
TEST(LineReader, SplitsLines) {
    testkit::ScratchDir dir;
    std::string text = "first\r\nsecond\n\nlast";
    std::vector<std::string> want = {"first", "second", "", "last"};
    for (int i = 0; i < 3000; ++i) {
        want.push_back(std::string(static_cast<std::size_t>(i % 97), 'a' + i % 26));
        text += "\n" + want.back();
    }
    text += "\n";
    testkit::write_file(dir.file("lines.txt"), text);

    InputStream in;
    ASSERT_TRUE(in.open(dir.file("lines.txt")));
    LineReader reader(in, 100);
    std::vector<std::string> got;
    std::string_view line;
    while (reader.next(line)) got.emplace_back(line);
    EXPECT_FALSE(reader.failed()) << reader.error();
    EXPECT_EQ(got, want);
    EXPECT_FALSE(reader.last_line_unterminated());
    EXPECT_EQ(reader.line_number(), static_cast<long>(want.size()));

    testkit::write_file(dir.file("open.txt"), "a\nb");
    InputStream in2;
    ASSERT_TRUE(in2.open(dir.file("open.txt")));
    LineReader open_end(in2);
    ASSERT_TRUE(open_end.next(line));
    EXPECT_FALSE(open_end.last_line_unterminated());
    ASSERT_TRUE(open_end.next(line));
    EXPECT_EQ(line, "b");
    EXPECT_TRUE(open_end.last_line_unterminated());
    EXPECT_FALSE(open_end.next(line));
    EXPECT_FALSE(open_end.failed());

    testkit::write_file(dir.file("long.txt"), "short\n" + std::string(300000, 'x') + "\nafter\n");
    InputStream in3;
    ASSERT_TRUE(in3.open(dir.file("long.txt")));
    LineReader limited(in3, 1000);
    ASSERT_TRUE(limited.next(line));
    EXPECT_FALSE(limited.next(line));
    EXPECT_EQ(limited.error(), "line 2 is longer than 1000 characters");
}

}  // namespace
