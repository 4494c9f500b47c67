// What a client from outside can and cannot have of the web page: only the files saved.txt
// lists, never through a path of its own or a link; nothing without the token when one is
// set; and however many connections it holds open, the station's charts arrive on time.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "runtime/exceptions.h"
#include "tests/web/web_fixture.h"
#include "web/saved_files.h"

namespace {

// A connection to the page that sends what it is given and then nothing, reading nothing.
class THeldConnection {
 public:
  THeldConnection(uint16_t port, const std::string& sent) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ =
        fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd_, sent.data(), sent.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(sent.size());
  }
  ~THeldConnection() {
    if (fd_ >= 0) ::close(fd_);
  }
  THeldConnection(const THeldConnection&) = delete;
  THeldConnection& operator=(const THeldConnection&) = delete;
  bool Connected() const { return connected_; }
  // Whether the server closed the connection without an answer: reading ends or is reset.
  // The wait is bounded only so that a server that never closes fails the test.
  bool ClosedUnanswered() const {
    const timeval bound{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    char byte;
    const ssize_t read = ::recv(fd_, &byte, 1, 0);
    return read == 0 || (read < 0 && errno == ECONNRESET);
  }

 private:
  int fd_;
  bool connected_ = false;
};

}  // namespace

TEST_F(WebTest, OnlyListedPlainFilesAreServedWhateverThePathSays) {
  StartStationAndPage();
  const std::string saved = dir_.File("good-1015.gif");
  const std::string id = SavedFileId(saved);
  EXPECT_EQ(Get("/file/" + id).body, ReadWholeFile(saved));
  EXPECT_EQ(Get("/chart/1").body, ReadWholeFile(saved));
  const std::string secret = dir_.File("secret.txt");
  WriteWholeFile(secret, "the secret");
  const std::string relative =
      "../" + secret.substr(secret.find_last_of('/', secret.size() - 12) + 1);
  for (const std::string& path : Texts{"/../secret.txt",
                                       "/file/../secret.txt",
                                       "/file/../../../../../.." + secret,
                                       "/%2e%2e/secret.txt",
                                       "/file/%2e%2e%2fsecret.txt",
                                       "/file/%2E%2E/%2E%2E/etc/passwd",
                                       "/file/" + relative,
                                       "/thumb/..%2fsaved.txt",
                                       "/file/" + id + "/../secret.txt",
                                       "/file/" + id + "%2f..%2f..%2fsecret.txt",
                                       secret,
                                       "/" + secret,
                                       "//etc/passwd",
                                       "/saved.txt",
                                       "/isoview.log",
                                       "/file/" + SavedFileId(secret),
                                       "/chart/2",
                                       "/chart/0",
                                       "/chart/3",
                                       "/chart/1x",
                                       "/chart/-1",
                                       "/file/",
                                       "/file/" + id.substr(0, 15) + "G"}) {
    const TWebAnswer answer = Get(path);
    EXPECT_EQ(answer.status, 404) << path;
    EXPECT_EQ(answer.body.find("secret"), std::string::npos) << path;
  }
  // The listed file replaced by a link: what the link points to was never saved.
  ASSERT_EQ(std::remove(saved.c_str()), 0);
  ASSERT_EQ(::symlink(secret.c_str(), saved.c_str()), 0);
  for (const std::string& path : Texts{"/file/" + id, "/chart/1", "/thumb/" + id}) {
    const TWebAnswer answer = Get(path);
    EXPECT_EQ(answer.status, 404) << path;
    EXPECT_EQ(answer.body.find("secret"), std::string::npos) << path;
  }
}

TEST_F(WebTest, WithATokenOnlyRequestsThatCarryItAreAnswered) {
  StartStationAndPage("s3cret-token");
  struct TCase {
    std::string path;
    std::string curlArguments;
    int status;
  };
  for (const TCase& c : std::vector<TCase>{
           {"/status.json", "", 401},
           {"/metrics", "-H 'Authorization: Bearer wrong'", 401},
           {"/metrics", "-H 'Authorization: Bearer s3cret-tokenX'", 401},
           {"/metrics", "-H 'Authorization: Bearer s3cret-toke'", 401},
           {"/metrics", "-H 'Authorization: Basic czNjcmV0LXRva2Vu'", 401},
           {"/chart/1?token=wrong", "", 401},
           {"/metrics", "-H 'Authorization: Bearer s3cret-token'", 200},
           {"/chart/1?token=s3cret-token", "", 200},
       })
    EXPECT_EQ(Get(c.path, c.curlArguments).status, c.status) << c.path << " " << c.curlArguments;
  const TWebAnswer page = Get("/?token=s3cret-token");
  EXPECT_NE(page.body.find("<a href=\"/chart/1?token=s3cret-token\">"), std::string::npos)
      << page.body;
  EXPECT_NE(Get("/archive?token=s3cret-token").body.find("<a href=\"/?token=s3cret-token\">"),
            std::string::npos);
}

// Without a token set every request is admitted, whatever token it brings: the page's links
// must not carry that text, or a link to the page could put a script in it.
TEST_F(WebTest, ATokenNobodyAskedForNeverReachesThePage) {
  StartStationAndPage();
  for (const char* path : {"/", "/archive"}) {
    const TWebAnswer page =
        Get(std::string(path) + "?token=%22%3E%3Cscript%3Ealert(1)%3C/script%3E");
    ASSERT_EQ(page.status, 200) << path;
    EXPECT_EQ(page.body.find("alert"), std::string::npos) << path << "\n" << page.body;
    EXPECT_EQ(page.body.find("?token"), std::string::npos) << path;
  }
}

TEST(WebServer, AnAddressBeyondLoopbackIsServedOnlyWithAToken) {
  const TStationSnapshot snapshot;
  const FakeClock clock;
  const FakeTimeZone zone;
  EXPECT_THROW(TWebServer({TWebAddress{"0.0.0.0", 0}, ""}, snapshot, "/", clock, zone), Exception);
  EXPECT_THROW(TWebServer({TWebAddress{"::", 0}, ""}, snapshot, "/", clock, zone), Exception);
  const TWebServer served({TWebAddress{"0.0.0.0", 0}, "token"}, snapshot, "/", clock, zone);
  EXPECT_GT(served.Port(), 0);
  EXPECT_THROW(
      TWebServer({TWebAddress{"0.0.0.0", served.Port()}, "token"}, snapshot, "/", clock, zone),
      Exception)
      << "the port is taken";
}

// 200 connections that never finish their request, or never read a large answer, while the
// station's minutes come: each chart is saved in its own minute, and the page still answers.
TEST_F(WebTest, TwoHundredHeldConnectionsDelayNoChart) {
  Texts schedule;
  for (const char* minute : {"1016", "1017", "1018", "1019", "1020"})
    schedule.push_back(StationLine(minute, charts_.Url("/good.gif"), dir_.File("c-@H@N.gif")));
  Start(schedule);
  const std::string large = dir_.File("large.bmp");
  WriteWholeFile(large, std::string(8 << 20, 'x'));
  ASSERT_TRUE(RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2026, 12, 8, 10, 0, 0}), large}));
  ServePage();
  std::vector<std::unique_ptr<THeldConnection>> held;
  for (int i = 0; i < 200; ++i) {
    held.push_back(std::make_unique<THeldConnection>(
        web_->Port(), i % 2 ? "GET /status.json HTTP/1.1\r\nHost: x\r\n"
                            : "GET /file/" + SavedFileId(large) + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_TRUE(held.back()->Connected()) << i;
  }
  for (const char* minute : {"1016", "1017", "1018", "1019", "1020"}) {
    clock_.AdvanceMinutes(1);
    Tick();
    Settle();
    EXPECT_TRUE(FileExists(dir_.File(std::string("c-") + minute + ".gif"))) << minute;
  }
  EXPECT_EQ(Get("/status.json").status, 200);
}

// Past the limit a connection is closed unanswered, the station goes on saving, and once the
// held connections go the page answers again.
TEST_F(WebTest, ConnectionsPastTheLimitAreClosedAndTheStationGoesOn) {
  Start({StationLine("1016", charts_.Url("/good.gif"), dir_.File("c-@H@N.gif"))});
  ServePage();
  const std::string partial = "GET /status.json HTTP/1.1\r\nHost: x\r\n";
  std::vector<std::unique_ptr<THeldConnection>> held;
  for (int i = 0; i < kMostWebConnections; ++i) {
    held.push_back(std::make_unique<THeldConnection>(web_->Port(), partial));
    ASSERT_TRUE(held.back()->Connected()) << i;
  }
  for (int i = 0; i < 8; ++i) {
    const THeldConnection extra(web_->Port(), partial);
    ASSERT_TRUE(extra.ClosedUnanswered()) << i;
  }
  EXPECT_EQ(Get("/status.json").status, 0) << "the limit is reached";
  clock_.AdvanceMinutes(1);
  Tick();
  Settle();
  EXPECT_TRUE(FileExists(dir_.File("c-1016.gif")));
  held.clear();
  // The server hears of the closes in its own time.
  int status = 0;
  for (int i = 0; i < 100 && status != 200; ++i) {
    status = Get("/status.json").status;
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(status, 200);
}
