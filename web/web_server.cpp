#include "web/web_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractHttpServer>
#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QImageReader>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <future>

#include "runtime/exceptions.h"
#include "web/web_site.h"

namespace {

constexpr int kThumbnailWidth = 160;

// A TCP server that closes what comes beyond kMostWebConnections.
class TLimitedTcpServer : public QTcpServer {
 public:
  explicit TLimitedTcpServer(QObject* parent) : QTcpServer(parent) {}

 protected:
  void incomingConnection(qintptr descriptor) override {
    auto socket = std::make_unique<QTcpSocket>(this);
    if (open_ >= kMostWebConnections || !socket->setSocketDescriptor(descriptor)) {
      if (socket->socketDescriptor() != descriptor) ::close(static_cast<int>(descriptor));
      return;
    }
    ++open_;
    connect(socket.get(), &QObject::destroyed, this, [this] { --open_; });
    addPendingConnection(socket.release());
  }

 private:
  int open_ = 0;
};

// Opens a plain file, never through a link, for the responder, which takes it.
QFile* OpenPlainFile(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return nullptr;
  struct stat info {};
  auto file = std::make_unique<QFile>();
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) ||
      !file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(descriptor);
    return nullptr;
  }
  return file.release();
}

std::optional<QByteArray> Thumbnail(QFile* file) {
  const std::unique_ptr<QFile> owned(file);
  QImageReader reader(owned.get());
  const QSize size = reader.size();
  if (size.isValid() && size.width() > kThumbnailWidth)
    reader.setScaledSize(size.scaled(kThumbnailWidth, size.height(), Qt::KeepAspectRatio));
  const QImage picture = reader.read();
  if (picture.isNull()) return std::nullopt;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return png;
}

// The token a request carries: "Authorization: Bearer TOKEN", or "?token=TOKEN" for a
// browser's address bar.
std::string RequestToken(const QHttpServerRequest& request) {
  for (const auto& [name, value] : request.headers())
    if (name.compare("Authorization", Qt::CaseInsensitive) == 0 && value.startsWith("Bearer "))
      return value.mid(7).trimmed().toStdString();
  return request.query().queryItemValue("token", QUrl::FullyDecoded).toStdString();
}

class THttpEndpoint : public QAbstractHttpServer {
 public:
  explicit THttpEndpoint(TWebSite& site) : site_(site) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    if (request.method() != QHttpServerRequest::Method::Get &&
        request.method() != QHttpServerRequest::Method::Head) {
      responder.write(QHttpServerResponder::StatusCode::MethodNotAllowed);
      return true;
    }
    const TWebReply reply =
        site_.Answer(request.url().path(QUrl::FullyEncoded).toStdString(), RequestToken(request));
    Send(reply, responder);
    return true;
  }

  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
  }

 private:
  static void Send(const TWebReply& reply, QHttpServerResponder& responder) {
    const auto status = static_cast<QHttpServerResponder::StatusCode>(reply.status);
    const QByteArray type = QByteArray::fromStdString(reply.contentType);
    if (reply.file.empty()) {
      responder.write(QByteArray::fromStdString(reply.body),
                      {{"Content-Type", type}, {"Cache-Control", "no-store"}}, status);
      return;
    }
    QFile* file = OpenPlainFile(reply.file);
    if (!file) {
      responder.write(QByteArray("Not found\n"), "text/plain",
                      QHttpServerResponder::StatusCode::NotFound);
    } else if (!reply.thumbnail) {
      responder.write(file, type, status);
    } else if (const auto png = Thumbnail(file)) {
      responder.write(*png, type, status);
    } else {
      responder.write(QByteArray("No picture\n"), "text/plain",
                      QHttpServerResponder::StatusCode::NotFound);
    }
  }

  TWebSite& site_;
};

void CheckAccess(const TWebSettings& settings) {
  const QHostAddress host(QString::fromStdString(settings.address->host));
  if (host.isNull())
    throw Exception("The web page's address " + settings.address->host + " is no IP address");
  if (!host.isLoopback() && settings.token.empty())
    throw Exception("The web page is served on " + settings.address->host +
                    " only with a token (web/token in isoview.ini)");
}

}  // namespace

TWebServer::TWebServer(const TWebSettings& settings, const TStationSnapshot& snapshot,
                       const std::string& programFolder, const TClock& clock,
                       const TTimeZone& zone) {
  CheckAccess(settings);
  std::promise<uint16_t> listening;
  std::future<uint16_t> port = listening.get_future();
  thread_.reset(QThread::create([&, settings, programFolder] {
    TWebSite site(snapshot, programFolder, settings, clock, zone);
    THttpEndpoint endpoint(site);
    // Owned by the endpoint, as Qt's objects own their children.
    auto* server = new TLimitedTcpServer(&endpoint);
    if (!server->listen(QHostAddress(QString::fromStdString(settings.address->host)),
                        settings.address->port)) {
      listening.set_exception(std::make_exception_ptr(Exception(
          "The web page cannot listen on " + settings.address->host + ":" +
          std::to_string(settings.address->port) + ": " + server->errorString().toStdString())));
      return;
    }
    endpoint.bind(server);
    listening.set_value(server->serverPort());
    QEventLoop loop;
    loop.exec();
  }));
  thread_->start();
  try {
    port_ = port.get();
  } catch (...) {
    thread_->wait();
    throw;
  }
}

TWebServer::~TWebServer() {
  thread_->quit();
  thread_->wait();
}
