// The web page served beside a station: /status.json agrees with what the station tells,
// /metrics passes Prometheus's own check, the page carries the sources table, the queue,
// the saves and the errors, the archive is paged as in the window, and a line's loop is its
// newest saves.

#include <unistd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

#include "program/event_log.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/shell_command.h"
#include "tests/web/web_fixture.h"
#include "web/saved_files.h"
#include "web/web_text.h"

namespace {

QJsonDocument Parsed(const std::string& json) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return document;
}

std::string Text(const QJsonValue& value) {
  return value.toString().toStdString();
}

}  // namespace

TEST_F(WebTest, StatusJsonAgreesWithTheStationAndTheMetricsPassPromtool) {
  StartStationAndPage();
  const TWebAnswer answer = Get("/status.json");
  ASSERT_EQ(answer.status, 200);
  const QJsonObject status = Parsed(answer.body).object();
  const std::vector<TSourceRow> rows = station_->SourceRows();
  const QJsonArray sources = status["sources"].toArray();
  ASSERT_EQ(static_cast<size_t>(sources.size()), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const QJsonObject source = sources[static_cast<qsizetype>(i)].toObject();
    EXPECT_EQ(Text(source["title"]), rows[i].title);
    EXPECT_EQ(Text(source["due"]), rows[i].dueTime);
    EXPECT_EQ(Text(source["state"]), SourceStateName(rows[i].state));
    EXPECT_EQ(Text(source["lastGoodFile"]), rows[i].lastGoodFile);
    EXPECT_EQ(Text(source["lastError"]), rows[i].lastError);
    EXPECT_EQ(source["attemptsToday"].toInt(), rows[i].attemptsToday);
  }
  EXPECT_EQ(Text(sources[0].toObject()["lastGoodSave"]), "2026-12-08T10:15:05Z");
  EXPECT_EQ(Text(sources[1].toObject()["state"]), "retrying");
  EXPECT_EQ(Text(sources[1].toObject()["lastErrorKind"]), "HTTP status");
  EXPECT_EQ(status["queue"].toObject()["lines"].toArray().size(), 1);
  ASSERT_EQ(status["saves"].toArray().size(), 1);
  EXPECT_EQ(Text(status["saves"][0]["file"]), dir_.File("good-1015.gif"));
  EXPECT_EQ(Text(status["errors"][0]["kind"]), "HTTP status");

  const TWebAnswer metrics = Get("/metrics");
  ASSERT_EQ(metrics.status, 200);
  WriteWholeFile(dir_.File("metrics.txt"), metrics.body);
  const TCommandResult check =
      RunCommand("promtool check metrics < '" + dir_.File("metrics.txt") + "' 2>&1");
  EXPECT_EQ(check.status, 0) << check.output << metrics.body;
  const int64_t saved = UnixSeconds(EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  for (const std::string& sample :
       Texts{"isoview_saves_total{source=\"Good\"} 1\n",
             "isoview_failures_total{source=\"Dead\"} 1\n", "isoview_queue_length 1\n",
             "isoview_sources_given_up 0\n",
             "isoview_last_good_save_timestamp_seconds{line=\"1\",source=\"Good\",due=\"10:15\"} " +
                 std::to_string(saved) + "\n",
             "isoview_source_failing{line=\"2\",source=\"Dead\",due=\"10:15\"} 1\n"})
    EXPECT_NE(metrics.body.find(sample), std::string::npos) << sample << metrics.body;
  const std::string bytesSample = "\nisoview_downloaded_bytes_total ";
  const size_t bytes = metrics.body.find(bytesSample);
  ASSERT_NE(bytes, std::string::npos);
  EXPECT_GT(std::atoll(metrics.body.c_str() + bytes + bytesSample.size()),
            static_cast<long long>(PeerGifBytes(6, 4).size()));
}

TEST_F(WebTest, ThePageShowsTheSourcesTheQueueTheSavesAndTheErrorsEscaped) {
  Start({StationLine("1015", charts_.Url("/good.gif"), dir_.File("good.gif"), "Good <b>&"),
         StationLine("1015", charts_.Url("/dead.gif"), dir_.File("dead.gif"), "Dead\xe9")});
  Settle();
  ServePage();
  const TWebAnswer page = Get("/");
  ASSERT_EQ(page.status, 200);
  for (const std::string& part :
       Texts{"<td>Good &lt;b&gt;&amp;</td><td>ok</td>", "<td>Dead&#233;</td><td>retrying</td>",
             "<td>404 Not Found</td>",
             "<img src=\"/thumb/" + SavedFileId(dir_.File("good.gif")) + "\"",
             "<a href=\"/chart/1\">2026-12-08 10:15</a>", "<b id=\"clock\">10:15:05</b>"})
    EXPECT_NE(page.body.find(part), std::string::npos) << part << "\n" << page.body;
  EXPECT_EQ(page.body.find("<b>&"), std::string::npos);
  const TWebAnswer thumbnail = Get("/thumb/" + SavedFileId(dir_.File("good.gif")));
  EXPECT_EQ(thumbnail.status, 200);
  EXPECT_EQ(thumbnail.body.substr(0, 8), "\x89PNG\r\n\x1a\n");
}

// 49 saves an hour apart before the station's own at 10:15: two pages of 48. The oldest
// file is gone and the next a link, which the page shows as the window does, unlinked.
TEST_F(WebTest, TheArchiveIsPagedAsInTheWindowAndLinksOnlyPlainListedFiles) {
  StartStationAndPage();
  std::string list;
  for (int i = 0; i < 49; ++i) {
    const std::string path = dir_.File("a" + std::to_string(i) + ".gif");
    if (i > 1) WriteWholeFile(path, PeerGifBytes(6, 4));
    list += SavedListLine({IncMinutes(EncodeDateTime({2026, 12, 6, 9}), 60 * i), path});
  }
  ASSERT_EQ(::symlink(dir_.File("good-1015.gif").c_str(), dir_.File("a1.gif").c_str()), 0);
  WriteWholeFile(dir_.File("saved.txt"), list + ReadWholeFile(dir_.File("saved.txt")));
  const auto count = [](const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  struct TCase {
    std::string path;
    Texts parts;
    size_t linked, gone;
  };
  for (const TCase& c : std::vector<TCase>{
           {"/archive",
            {"<p id=\"page\">Page 1 of 2 (50 pictures, newest first)</p>",
             "<span>Newest</span><span>Newer</span><a href=\"/archive/2\">Older</a>"
             "<a href=\"/archive/2\">Oldest</a>",
             "<h2>2026-12-08 UTC</h2><div class=\"saves\"><figure><a href=\"/file/" +
                 SavedFileId(dir_.File("good-1015.gif")) + "\">",
             "<figcaption>10:15:05 UTC<br>good-1015.gif</figcaption>", "<h2>2026-12-07 UTC</h2>",
             "<figcaption>11:00:00 UTC<br>a2.gif</figcaption>"},
            48,
            0},
           {"/archive/2",
            {"<p id=\"page\">Page 2 of 2 (50 pictures, newest first)</p>",
             "<a href=\"/archive\">Newest</a><a href=\"/archive\">Newer</a><span>Older</span>",
             "<h2>2026-12-06 UTC</h2>",
             "<figure class=\"deleted\"><figcaption>deleted<br>10:00:00 UTC<br>a1.gif",
             "<figure class=\"deleted\"><figcaption>deleted<br>09:00:00 UTC<br>a0.gif"},
            0,
            2},
       }) {
    const TWebAnswer page = Get(c.path);
    ASSERT_EQ(page.status, 200) << c.path;
    for (const std::string& part : c.parts)
      EXPECT_NE(page.body.find(part), std::string::npos) << part << "\n" << page.body;
    EXPECT_EQ(count(page.body, "<a href=\"/file/"), c.linked) << c.path;
    EXPECT_EQ(count(page.body, "class=\"deleted\""), c.gone) << c.path;
  }
  for (const char* path : {"/archive/3", "/archive/0", "/archive/", "/archive/2x", "/archive/1/"})
    EXPECT_EQ(Get(path).status, 404) << path;
  EXPECT_EQ(Get("/archive/1").body, Get("/archive").body);
  EXPECT_NE(Get("/").body.find("<nav><a href=\"/archive\">Archive</a></nav>"), std::string::npos);
  ASSERT_EQ(std::remove(dir_.File("saved.txt").c_str()), 0);
  EXPECT_NE(Get("/archive").body.find("<p id=\"page\">Nothing saved yet</p>"), std::string::npos);
}

// A loop of the line's three newest saves, less those that are no plain file, at the newest
// one's size, made again when a save comes or goes; other targets' saves are no part of it.
TEST_F(WebTest, TheLoopOfALineIsItsNewestSavesAsAnAnimatedGif) {
  settings_.values[kLoopFramesKey] = "3";
  settings_.values[kLoopDelayKey] = "20";
  StartStationAndPage();
  const auto save = [this](const std::string& name, int width, int height, int minute) {
    WriteWholeFile(dir_.File(name), PeerGifBytes(width, height));
    ASSERT_TRUE(RecordSave(dir_.File("saved.txt"),
                           {EncodeDateTime({2026, 12, 8, 10, minute, 0}), dir_.File(name)}));
  };
  save("good-1012.gif", 12, 8, 12);
  save("good-1013.gif", 12, 8, 13);
  save("good-1011.gif", 12, 8, 11);
  save("other.gif", 20, 20, 14);
  struct TStep {
    std::function<void()> change;
    size_t frames;
    int width, height;
  };
  for (const TStep& step : std::vector<TStep>{
           {[] {}, 3, 6, 4},
           {[this] {
              ASSERT_EQ(std::remove(dir_.File("good-1013.gif").c_str()), 0);
              ASSERT_EQ(
                  ::symlink(dir_.File("other.gif").c_str(), dir_.File("good-1013.gif").c_str()), 0);
            },
            2, 6, 4},
           // The link still counts among the three newest, and is left out.
           {[&] { save("good-1016.gif", 10, 10, 16); }, 2, 10, 10},
       }) {
    step.change();
    const TWebAnswer answer = Get("/loop/1.gif");
    ASSERT_EQ(answer.status, 200);
    const PeerGif gif = ReadGiflibGif({answer.body.begin(), answer.body.end()});
    EXPECT_EQ(gif.Frames.size(), step.frames);
    EXPECT_EQ(std::make_pair(gif.Width, gif.Height), std::make_pair(step.width, step.height));
    for (const PeerFrame& frame : gif.Frames) EXPECT_EQ(frame.Delay, 20);
  }
  EXPECT_NE(Get("/").body.find("<td><a href=\"/loop/1.gif\">loop</a></td></tr>"),
            std::string::npos);
  for (const char* path :
       {"/loop/2.gif", "/loop/3.gif", "/loop/0.gif", "/loop/1", "/loop/1.GIF", "/loop/1.gif.gif",
        "/loop/-1.gif", "/loop/.gif", "/loop/good-1015.gif", "/loop/../1.gif"})
    EXPECT_EQ(Get(path).status, 404) << path;
}
