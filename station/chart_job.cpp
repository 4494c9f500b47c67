#include "station/chart_job.h"

#include <cerrno>
#include <cstdio>

#include "archive/archive.h"
#include "chart/chart_picture.h"
#include "http/http_errors.h"
#include "http/url_helpers.h"
#include "imaging/bitmap.h"
#include "program/date_codes.h"
#include "program/event_log.h"
#include "program/jpeg_quality.h"
#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"
#include "station/file_digest.h"
#include "station/ordered_workers.h"
#include "station/station_folders.h"
#include "station/station_report.h"

namespace {

// What kind of failure ended a download: the server's refusal, a body too large to be a
// chart, a file that could not be written, a URL or proxy the station cannot use, or the
// network.
TFailureKind DownloadFailureKind(const TDownloadResult& result) {
  if (result.Refused()) return fkHttpStatus;
  switch (result.error) {
    case kHttpErrorBodyTooLarge:
      return fkContent;
    case kHttpErrorStreamWrite:
      return fkDisk;
    case kHttpErrorProxyUnusable:
    case kHttpErrorControlCharacter:
      return fkConfiguration;
    default:
      return fkNetwork;
  }
}

std::string Replaced(std::string text, const std::string& what, const std::string& by) {
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += by.size())
    text.replace(at, what.size(), by);
  return text;
}

// The JPEG quality of a save, read when it is needed; a missing jpegcomp.txt is the
// station's configuration, not the chart's fault.
int JpegQuality(const std::string& programFolder) {
  try {
    return ReadJPEGQuality(programFolder + kJPEGQualityFileName);
  } catch (const std::exception& error) {
    throw AsFailure(error, fkConfiguration);
  }
}

}  // namespace

// What the workers make of a job: the chart (decoded, or the one kept from an earlier
// attempt) and the bytes of its save.
struct TChartJob::TDevelopment {
  std::shared_ptr<const TBitmap> picture;
  std::optional<std::vector<uint8_t>> encoded;
  std::optional<EStationFailure> failure;
  std::string digest;  // of the downloaded bytes
};

TChartJob::~TChartJob() {
  if (!partialFile_.empty()) std::remove(partialFile_.c_str());
}

void TChartJob::Status(const std::string& text) {
  lastStatus_ = text;
  host_.Report().StatusChanged(text);
}

void TChartJob::Start(TAsyncDownload* client) {
  localFile_ = DownloadedFileName(host_.ProgramFolder(), Inputs().URL);
  try {
    if (Progress().next == jsDownload) {
      StartDownload(*client);
    } else {
      host_.Report().ChartReady(Progress().picture);
      Develop(false);
    }
  } catch (const EStationFailure& failure) {
    Fail(failure);
  }
}

void TChartJob::StartDownload(TAsyncDownload& client) {
  const std::string shownUrl = UrlWithoutPassword(Inputs().URL);
  Status("Downloading " + shownUrl + "...");
  const std::string& folder = host_.ProgramFolder();
  if (localFile_.empty())
    throw EStationFailure("Cannot create file " + DownloadsFolder(folder), fkConfiguration);
  Status("Downloading " + localFile_ + ".....");
  host_.Log().Add("Fetching " + shownUrl + " into " + localFile_);
  partialFile_ = TemporaryNameBeside(localFile_);
  try {
    MakeFolder(DownloadsFolder(folder));
    client.Start(
        Inputs().URL, partialFile_, [this](const TDownloadResult& result) { DownloadDone(result); },
        [this](int64_t received, int64_t length) {
          received_ = received;
          length_ = length;
          host_.ProgressChanged();
        });
  } catch (const EStreamError& error) {
    throw AsFailure(error, fkDisk);
  } catch (const std::exception& error) {
    throw AsFailure(error, fkConfiguration);  // a URL the client cannot use
  }
  client_ = &client;
}

void TChartJob::DownloadDone(const TDownloadResult& result) {
  client_ = nullptr;
  contentType_ = result.contentType;
  received_ = result.receivedBytes;
  host_.DownloadEnded(*this);
  host_.Log().Add("Downloaded " + UrlWithoutPassword(Inputs().URL) + ": " +
                  IntToStr(result.statusCode) + " " + result.reason + ", " +
                  IntToStr(result.receivedBytes) + " bytes");
  Status("Idle");
  if (!result.Succeeded()) {
    std::remove(partialFile_.c_str());
    Fail(EStationFailure(result.Failure(), DownloadFailureKind(result)));
    return;
  }
  Develop(true);
}

// Decoding, the check and the encoding of the save run on a worker; the result comes back
// on the loop in the order the work was handed in.
void TChartJob::Develop(bool decode) {
  if (!Inputs().Filename.empty() && Progress().expandedFilename.empty())
    Progress().expandedFilename = ExpandDateCodes(Inputs().Filename, host_.Clock(), host_.Zone());
  auto development = std::make_shared<TDevelopment>();
  development->picture = Progress().picture;
  const bool save = Progress().next <= jsSave && !Inputs().Filename.empty();
  host_.Workers().Submit(
      [development, decode, save, file = partialFile_, type = contentType_,
       target = Progress().expandedFilename, folder = host_.ProgramFolder()] {
        TDevelopment& d = *development;
        try {
          if (decode) {
            d.picture = DecodeChart(file);
            d.digest = FileDigest(file);
          }
          if (!d.picture) throw EInvalidGraphic(NotAnImageText(type));
        } catch (const std::exception& error) {
          d.failure = AsFailure(error, fkContent);
          return;
        }
        try {
          if (save)
            d.encoded = EncodeChart(*d.picture, target, [&] { return JpegQuality(folder); });
        } catch (const std::exception& error) {
          d.failure = AsFailure(error, fkContent);
        }
      },
      [this, development] { Developed(*development); });
}

void TChartJob::Developed(TDevelopment& development) {
  try {
    if (Progress().next == jsDownload) {
      if (development.failure && !development.picture) {
        std::remove(partialFile_.c_str());
        throw EStationFailure(Replaced(development.failure->Message(), partialFile_, localFile_),
                              development.failure->Kind());
      }
      Progress().picture = development.picture;
      digest_ = development.digest;
      KeepDownload();
    }
    Status("Printing " + localFile_ + ".....");
    if (Progress().next == jsSave) {
      if (development.failure) throw *development.failure;
      Save(development.encoded);
      Progress().next = jsPrint;
    }
    Print();
  } catch (const EStationFailure& failure) {
    Fail(failure);
    return;
  }
  Status("Done");
  host_.JobEnded(*this, nullptr);
}

// The download decoded whole: only now does it replace the last good one.
void TChartJob::KeepDownload() {
  if (std::rename(partialFile_.c_str(), localFile_.c_str()) != 0) {
    const int error = errno;
    std::remove(partialFile_.c_str());
    throw EStationFailure("Cannot create file " + localFile_, fkDisk, error);
  }
  partialFile_.clear();
  host_.SourceAnswered(*this);
  host_.Report().ChartReady(Progress().picture);
  host_.Report().ChartFileKept(localFile_);
  const TBitmap& picture = *Progress().picture;
  host_.Log().Add("Displayed " + IntToStr(picture.Width()) + " x " + IntToStr(picture.Height()));
  Progress().next = jsSave;
}

void TChartJob::Save(const std::optional<std::vector<uint8_t>>& encoded) {
  if (Inputs().Filename.empty()) return;
  Status("Saving " + Inputs().Filename + "...");
  const std::string path = TargetPath(host_.ProgramFolder(), Progress().expandedFilename);
  if (!encoded) {
    host_.Log().Add("Not saved (kind not written): " + path);
  } else {
    try {
      SaveFileAtomically(path,
                         [&](TStream& out) { out.WriteBuffer(encoded->data(), encoded->size()); });
    } catch (const std::exception& error) {
      const EStationFailure failure = AsFailure(error, fkDisk);
      // Room for the job's retry.
      host_.Archive().PruneAfterFailedSave(failure.ErrorNumber());
      throw failure;
    }
    host_.Log().Add("Saved " + path);
    savedPath_ = path;
    host_.Archive().Record(path);
    host_.Archive().Prune();
    const TDateTime now = UtcForDateCodes(host_.Clock().NowIn(host_.Zone()));
    host_.Report().Saved({path, {now.ms - now.ms % 1000}, ShownTitle(Inputs())});
  }
  Status("Done");
}

void TChartJob::Print() {
  TStationPrinter* printer = host_.Printer();
  if (!printer || Inputs().Print == "n") return;
  try {
    const std::string printout = printer->Print(*Progress().picture, Inputs().Neg);
    if (!printout.empty()) host_.Log().Add("Printout written to " + printout);
  } catch (const std::exception& error) {
    throw AsFailure(error, fkPrinter);
  }
  host_.Log().Add("Printed " + localFile_);
}

void TChartJob::Fail(const EStationFailure& failure) {
  host_.JobEnded(*this, &failure);
}
