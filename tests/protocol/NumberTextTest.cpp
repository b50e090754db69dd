#include "protocol/NumberText.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace orvanta::protocol {
namespace {

std::string Printf(double value, int precision) {
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*f", precision, value);
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string Fixed(double value, int precision) {
    std::string text;
    AssignFixed(text, value, precision);
    return text;
}

// Counts mismatches and reports the first few, so a broken case does not flood the log.
class FixedComparer {
public:
    void Check(double value, int precision) {
        ++checked_;
        const std::string expected = Printf(value, precision);
        const std::string actual = Fixed(value, precision);
        if (expected != actual && ++failures_ <= 10) {
            ADD_FAILURE() << "%." << precision << "f of " << std::hexfloat << value << ": printf \""
                          << expected << "\", ours \"" << actual << "\"";
        }
    }
    void CheckFormats(double value) {
        for (int precision : {1, 2, 3, 7}) {
            Check(value, precision);
        }
    }
    long failures() const { return failures_; }
    long checked() const { return checked_; }

private:
    long failures_ = 0;
    long checked_ = 0;
};

TEST(NumberTextTest, FixedMatchesPrintfOnChosenValues) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             0.5,
                             -0.5,
                             0.0005,
                             -0.0005,
                             0.0004999,
                             -0.0001,
                             -1e-300,
                             -tiny,
                             tiny,
                             DBL_MIN,
                             -DBL_MIN,
                             DBL_MAX,
                             -DBL_MAX,
                             0.125,
                             0.375,
                             2.5,
                             3.5,
                             -2.5,
                             0.05,
                             0.15,
                             0.25,
                             0.35,
                             1e15,
                             1e16,
                             1.8446744073709552e19,
                             1.8446744073709552e16,
                             1.8446744073709552e12,
                             9.2233720368547758e18,
                             4294967.295,
                             4294967295 * 0.001,
                             std::ldexp(1.0, 63),
                             std::ldexp(1.0, 64),
                             std::ldexp(1.0, 52),
                             std::ldexp(1.0, 53) + 2,
                             std::ldexp(1.0, -1074),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             static_cast<double>(3.4028235e38f),
                             57.295776,
                             -14.323944};
    FixedComparer comparer;
    for (double value : values) {
        for (int precision = 0; precision <= kMaxFixedPrecision; ++precision) {
            comparer.Check(value, precision);
        }
    }
    EXPECT_EQ(Fixed(-0.0001, 3), "-0.000");
    EXPECT_EQ(comparer.failures(), 0);
}

// Millions of values from every region the fast path has a boundary in: arbitrary bit
// patterns (all exponents, NaNs, infinities, subnormals), floats widened as the decoders
// widen them, decimals near the rounding point, exact binary halfway cases, and the
// magnitudes where the fast path hands over to the general one.
TEST(NumberTextTest, FixedMatchesPrintfOnMillionsOfRandomValues) {
    std::mt19937_64 random(20240611);
    FixedComparer comparer;
    constexpr int kPerKind = 1 << 18;
    for (int i = 0; i < kPerKind; ++i) {
        // Most random bit patterns are huge and print hundreds of digits: fewer of those.
        if (i % 4 == 0) {
            comparer.CheckFormats(std::bit_cast<double>(random()));
        }
        comparer.CheckFormats(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    }
    std::uniform_int_distribution<std::int64_t> digits(-99'999'999'999, 99'999'999'999);
    std::uniform_int_distribution<int> scale(0, 12);
    for (int i = 0; i < kPerKind; ++i) {
        // n.5 at the last shown digit, as near as binary gets, and its neighbours.
        const double near =
            (static_cast<double>(digits(random)) + 0.5) / std::pow(10.0, scale(random));
        comparer.CheckFormats(near);
        comparer.CheckFormats(std::nextafter(near, 0.0));
        comparer.CheckFormats(std::nextafter(near, 1e300));
        comparer.CheckFormats(static_cast<float>(near));
    }
    std::uniform_int_distribution<std::int64_t> odd(-(std::int64_t{1} << 40),
                                                    std::int64_t{1} << 40);
    std::uniform_int_distribution<int> binaryScale(1, 12);
    std::uniform_int_distribution<int> magnitude(40, 80);
    for (int i = 0; i < kPerKind; ++i) {
        comparer.CheckFormats(
            std::ldexp(static_cast<double>(odd(random) | 1), -binaryScale(random)));
        const double big = std::ldexp(1.0 + std::ldexp(static_cast<double>(random() >> 12), -52),
                                      magnitude(random));
        comparer.CheckFormats(random() & 1 ? big : -big);
    }
    EXPECT_GE(comparer.checked(), 7'000'000);
    EXPECT_EQ(comparer.failures(), 0);
}

TEST(NumberTextTest, DecimalUtcAndEchoMatchPrintf) {
    std::mt19937_64 random(7);
    char expected[128];
    for (int i = 0; i < 100000; ++i) {
        const auto value = static_cast<std::int64_t>(random()) >> (random() % 64);
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(value));
        std::string text;
        AssignDecimal(text, value);
        ASSERT_EQ(text, expected);

        const unsigned year = random() % 65536;
        unsigned f[5];
        for (unsigned& v : f) {
            v = random() % 256;
        }
        std::snprintf(expected, sizeof expected, "UTC: %d-%02d-%02d / %02d:%02d:%02d", year, f[0],
                      f[1], f[2], f[3], f[4]);
        AssignUtc(text, year, f[0], f[1], f[2], f[3], f[4]);
        ASSERT_EQ(text, expected);
    }
    std::string echo = "Rx: ";
    std::string printed = echo;
    std::vector<std::uint8_t> all(256);
    for (int b = 0; b < 256; ++b) {
        all[b] = static_cast<std::uint8_t>(b);
        std::snprintf(expected, sizeof expected, "%02x ", b);
        printed += expected;
    }
    AppendHexEcho(echo, all.data(), all.size());
    EXPECT_EQ(echo, printed);
}

} // namespace
} // namespace orvanta::protocol
