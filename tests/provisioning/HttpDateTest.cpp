// HTTP dates as servers write them in their replies' Date header.
#include "provisioning/HttpDate.h"

#include <gtest/gtest.h>

using XmlRpc::parseHttpDate;

namespace {

TEST(HttpDateTest, TheThreeFormsAndNothingElse) {
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
        {"Sun Nov  6 08:49:37 1994", 784111777},
        {" Thu, 01 Jan 1970 00:00:00 GMT\r\n", 0},
        {"Wed, 31 Dec 1969 23:59:59 GMT", -1},
        {"Tue, 29 Feb 2000 23:59:59 GMT", 951868799},
        {"Saturday, 01-Jan-50 00:00:00 GMT", 2524608000},
        {"Fri, 29 Feb 2019 00:00:00 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
        {"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 GMT and more", std::nullopt},
        {"Sun, 06 Now 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseHttpDate(c.text), c.seconds) << c.text;
}

} // namespace
