// Where the web page listens, as the settings file and the command line give it.

#include <gtest/gtest.h>

#include "tests/station/station_fixture.h"
#include "web/web_settings.h"

TEST(WebSettings, AddressesAndWhatIsNoAddress) {
  struct TCase {
    std::string text;
    std::optional<TWebAddress> address;
  };
  for (const TCase& c : std::vector<TCase>{
           {"127.0.0.1:8080", TWebAddress{"127.0.0.1", 8080}},
           {"0.0.0.0:9100", TWebAddress{"0.0.0.0", 9100}},
           {"[::1]:80", TWebAddress{"::1", 80}},
           {":8080", TWebAddress{"127.0.0.1", 8080}},
           {"8080", TWebAddress{"127.0.0.1", 8080}},
           {"::1:80", std::nullopt},
           {"127.0.0.1:", std::nullopt},
           {"127.0.0.1:0", std::nullopt},
           {"127.0.0.1:65536", std::nullopt},
           {"127.0.0.1:80x", std::nullopt},
           {"", std::nullopt},
       })
    EXPECT_EQ(ParseWebAddress(c.text), c.address) << c.text;
}

TEST(WebSettings, OffUnlessGivenAndTheCommandLineWins) {
  TMapSettings file;
  std::vector<std::string> problems;
  EXPECT_FALSE(ReadWebSettings(file, "", problems).address) << "off by default";
  file.values = {{kWebAddressKey, "127.0.0.1:8080"}, {kWebTokenKey, "t"}};
  EXPECT_EQ(ReadWebSettings(file, "", problems).address, (TWebAddress{"127.0.0.1", 8080}));
  const TWebSettings both = ReadWebSettings(file, "[::1]:9000", problems);
  EXPECT_EQ(both.address, (TWebAddress{"::1", 9000}));
  EXPECT_EQ(both.token, "t");
  EXPECT_TRUE(problems.empty());
  EXPECT_FALSE(ReadWebSettings(file, "somewhere", problems).address);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0],
            "The web page's address \"somewhere\" is no HOST:PORT; the page is not served");
}
