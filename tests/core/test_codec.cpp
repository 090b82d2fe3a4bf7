#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "zorv_interface/codec.h"

using zorv_interface::encode;
using zorv_interface::PackageDispatch;

namespace {

std::vector<char> frame(char type, const std::string& payload) {
    std::vector<char> out;
    encode(type, payload, out);
    return out;
}

std::vector<char> bytes(std::initializer_list<int> values) {
    std::vector<char> out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// Collects every delivered frame as (payload, type).
struct Collector {
    std::vector<std::pair<std::string, char>> frames;
    PackageDispatch::FrameHandler handler(int result = 0) {
        return [this, result](char* data, std::size_t size, char type) {
            frames.emplace_back(std::string(data, size), type);
            return result;
        };
    }
};

int feed(PackageDispatch& splitter, std::vector<char> chunk, PackageDispatch::FrameHandler on_frame = nullptr) {
    return splitter.dispatch(chunk.data(), chunk.size(), std::move(on_frame));
}

}  // namespace

TEST(Encode, WritesExactHeaderBytes) {
    EXPECT_EQ(frame(0, ""), bytes({'S', 'O', 'F', 0, 0, 0}));
    EXPECT_EQ(frame(1, ""), bytes({'S', 'O', 'F', 1, 0, 0, 0, 0}));
    EXPECT_EQ(frame(1, "{}"), bytes({0x53, 0x4F, 0x46, 0x01, 0x00, 0x00, 0x00, 0x02, 0x7B, 0x7D}));

    const std::string p300(300, 'x');
    const auto f0 = frame(0, p300);
    ASSERT_EQ(f0.size(), 306u);
    EXPECT_EQ(std::vector<char>(f0.begin() + 4, f0.begin() + 6), bytes({0x01, 0x2C}));
    const auto f1 = frame(1, p300);
    ASSERT_EQ(f1.size(), 308u);
    EXPECT_EQ(std::vector<char>(f1.begin() + 4, f1.begin() + 8), bytes({0x00, 0x00, 0x01, 0x2C}));
}

TEST(Encode, ByteVectorPayloadMatchesStringPayload) {
    const std::vector<uint8_t> cbor{0x82, 0x01, 0xF5};
    std::vector<char> out;
    encode(0, cbor, out);
    EXPECT_EQ(out, bytes({'S', 'O', 'F', 0, 0, 3, 0x82, 0x01, 0xF5}));
}

TEST(Encode, AppendsBehindExistingBytesWithOneAllocation) {
    std::vector<char> out;
    encode(1, std::string(1000, 'a'), out);
    EXPECT_EQ(out.capacity(), 1008u);
    encode(0, std::string("b"), out);
    EXPECT_EQ(out.size(), 1015u);
    EXPECT_EQ(std::string(out.begin() + 1008, out.end()), std::string("SOF\0\0\1b", 7));
}

TEST(Encode, RefusesPayloadLongerThanTypeZeroCanDescribe) {
    std::vector<char> out{'x'};
    EXPECT_NO_THROW(encode(0, std::string(65535, 'a'), out));
    EXPECT_EQ(out.size(), 1u + 6u + 65535u);
    out.assign(1, 'x');
    EXPECT_THROW(encode(0, std::string(65536, 'a'), out), std::length_error);
    EXPECT_EQ(out, bytes({'x'})) << "nothing may be written for a refused frame";
    EXPECT_NO_THROW(encode(1, std::string(65536, 'a'), out));
}

TEST(Encode, UnknownTypeHasNoLengthAndTwoTrailingZeros) {
    EXPECT_EQ(frame(2, "ab"), bytes({'S', 'O', 'F', 2, 'a', 'b', 0, 0}));
}

TEST(Dispatch, TwoFramesInOneChunkArriveInOrder) {
    std::vector<char> chunk = frame(1, "first");
    const auto second = frame(0, "second");
    chunk.insert(chunk.end(), second.begin(), second.end());
    Collector c;
    PackageDispatch splitter;
    EXPECT_EQ(feed(splitter, chunk, c.handler(7)), 7);
    ASSERT_EQ(c.frames.size(), 2u);
    EXPECT_EQ(c.frames[0], std::make_pair(std::string("first"), char(1)));
    EXPECT_EQ(c.frames[1], std::make_pair(std::string("second"), char(0)));
}

TEST(Dispatch, EverySplitPointOfTheHeaderAndPayload) {
    for (char type : {char(0), char(1)}) {
        const auto whole = frame(type, "payload!");
        for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
            Collector c;
            PackageDispatch splitter(c.handler());
            feed(splitter, std::vector<char>(whole.begin(), whole.begin() + cut));
            feed(splitter, std::vector<char>(whole.begin() + cut, whole.end()));
            ASSERT_EQ(c.frames.size(), 1u) << "type " << int(type) << " cut " << cut;
            EXPECT_EQ(c.frames[0].first, "payload!");
        }
    }
}

TEST(Dispatch, OneByteAtATimeDeliversWithTheLastByte) {
    const auto whole = frame(1, "abc");
    Collector c;
    PackageDispatch splitter;
    for (std::size_t i = 0; i + 1 < whole.size(); ++i) {
        EXPECT_EQ(feed(splitter, {whole[i]}, c.handler(5)), 0);
        EXPECT_TRUE(c.frames.empty());
    }
    EXPECT_EQ(feed(splitter, {whole.back()}, c.handler(5)), 5);
    ASSERT_EQ(c.frames.size(), 1u);
}

TEST(Dispatch, ResynchronisesAfterBrokenMagic) {
    for (const std::string prefix : {"S", "SO", "xyz", "SOx", "SOSO"}) {
        std::vector<char> chunk(prefix.begin(), prefix.end());
        const auto f = frame(0, "ok");
        chunk.insert(chunk.end(), f.begin(), f.end());
        Collector c;
        PackageDispatch splitter(c.handler());
        feed(splitter, chunk);
        ASSERT_EQ(c.frames.size(), 1u) << prefix;
        EXPECT_EQ(c.frames[0].first, "ok");
    }
}

TEST(Dispatch, ResultsWhileResynchronising) {
    PackageDispatch splitter;
    EXPECT_EQ(feed(splitter, {'a', 'b', 'c'}), -1);
    EXPECT_EQ(feed(splitter, {'S', 'O', 'x'}), -1);
    // A byte that breaks the magic is examined again, so the chunk ends on that re-examination.
    EXPECT_EQ(feed(splitter, {'S'}), 0);
    EXPECT_EQ(feed(splitter, {'S'}), 0) << "the second 'S' starts a new frame";
    EXPECT_EQ(feed(splitter, {'O'}), 0);
    EXPECT_EQ(feed(splitter, {'x'}), -1);
    EXPECT_EQ(feed(splitter, {}), 0);
}

TEST(Dispatch, BadTypeByteIsAbandonedAndNextByteReexamined) {
    std::vector<char> chunk = bytes({'S', 'O', 'F', 2});
    const auto f = frame(1, "after");
    chunk.insert(chunk.end(), f.begin(), f.end());
    Collector c;
    PackageDispatch splitter(c.handler());
    feed(splitter, chunk);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].first, "after");
}

TEST(Dispatch, EmptyPayloadEndingAChunkIsDeliveredByTheNextNonEmptyCall) {
    Collector c;
    PackageDispatch splitter(c.handler());
    feed(splitter, frame(0, ""));
    EXPECT_TRUE(c.frames.empty());
    feed(splitter, {});
    EXPECT_TRUE(c.frames.empty());
    feed(splitter, {'x'});
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].first, "");
}

TEST(Dispatch, PerCallHandlerTakesPrecedenceAndNoHandlerDropsFrames) {
    Collector byCtor;
    Collector byCall;
    PackageDispatch splitter(byCtor.handler(1));
    EXPECT_EQ(feed(splitter, frame(0, "a"), byCall.handler(2)), 2);
    EXPECT_TRUE(byCtor.frames.empty());
    EXPECT_EQ(byCall.frames.size(), 1u);
    EXPECT_EQ(feed(splitter, frame(0, "b")), 1);
    EXPECT_EQ(byCtor.frames.size(), 1u);

    PackageDispatch silent;
    EXPECT_EQ(feed(silent, frame(0, "c")), 0);
}

TEST(Dispatch, ResetDropsAPartialFrame) {
    Collector c;
    PackageDispatch splitter(c.handler());
    const auto f = frame(1, "partial");
    feed(splitter, std::vector<char>(f.begin(), f.begin() + 10));
    splitter.reset();
    feed(splitter, frame(1, "fresh"));
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].first, "fresh");
}

TEST(Dispatch, ThrowingHandlerDoesNotLeaveTheFrameBehind) {
    int calls = 0;
    PackageDispatch splitter([&](char*, std::size_t, char) -> int {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    EXPECT_THROW(feed(splitter, frame(0, "once")), std::runtime_error);
    EXPECT_NO_THROW(feed(splitter, {'x'}));
    EXPECT_EQ(calls, 1);
}

TEST(Dispatch, HugeDeclaredLengthIsAbandonedWithoutReserving) {
    Collector c;
    PackageDispatch splitter(c.handler());
    std::vector<char> chunk = bytes({'S', 'O', 'F', 1, 0x80, 0, 0, 0});
    const auto f = frame(1, "next");
    chunk.insert(chunk.end(), f.begin(), f.end());
    feed(splitter, chunk);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].first, "next");
}

TEST(Dispatch, LargeFrameDeliveredWholeAcrossChunks) {
    std::string big(3u << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
    auto whole = frame(1, big);
    Collector c;
    PackageDispatch splitter(c.handler());
    for (std::size_t at = 0; at < whole.size(); at += 10240) {
        const std::size_t n = std::min<std::size_t>(10240, whole.size() - at);
        splitter.dispatch(whole.data() + at, n);
    }
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_TRUE(c.frames[0].first == big);
}

TEST(Print, MasksControlAndNonAsciiBytes) {
    std::ostringstream os;
    char data[] = {'a', 0x0A, static_cast<char>(0xC3)};
    zorv_interface::print(os, data, 3);
    EXPECT_EQ(os.str(), "len: 3 data: a--");
}
