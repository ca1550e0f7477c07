// Capture through the desktop portal, against a stand-in portal on a private
// session bus: what each answer (picture, refusal, silence, a bad picture)
// becomes, and a whole capture over a portal picture.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <optional>
#include <thread>

#include "PageTestSupport.h"
#include "StandInPortal.h"
#include "pages/CScreenShotWnd.h"
#include "pages/ScreenGrabPortal.h"

using namespace kelsor;
namespace text = kelsor::jobs::portal_text;

namespace {

// The offscreen platform's screen.
QSize Screen() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

// Red left, blue right, the size of the screen.
QImage HalvesPicture() {
    return pagetest::TwoColourPicture(Screen().width(), Screen().height(), Qt::red, Qt::blue);
}

QWidget* CaptureHost() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ScreenShotWndClass") && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

// Once the capture window is up, the first press selects the whole screen
// and a double click finishes.
void FinishWholeScreenWhenShown(QObject* context) {
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, [poll] {
        QWidget* host = CaptureHost();
        if (host == nullptr) {
            return;
        }
        poll->stop();
        for (auto type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
            QMouseEvent e(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(host, &e);
        }
    });
    poll->start(10);
}

class PortalCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const bool started = !bus().empty();  // before Qt asks for the session bus
        uitest::EnsureApp();
        if (!started) {
            GTEST_SKIP() << "dbus-daemon did not start";
        }
    }
    static const std::string& bus() { return test::ProcessSessionBus(); }
    QString Uri(const QString& name, const QImage& picture) const {
        const QString path = temp.path() + QLatin1Char('/') + name;
        picture.save(path);
        return QUrl::fromLocalFile(path).toString();
    }
    static jobs::ScreenGrab Grab(int timeoutMs = jobs::kPortalTimeoutMs) {
        return jobs::GrabThroughPortal(QDBusConnection::sessionBus(), timeoutMs);
    }

    QTemporaryDir temp;
};

TEST_F(PortalCaptureTest, ThePicturesAnswerIsReadAndATemporaryFileRemoved) {
    test::StandInPortal portal(bus());
    ASSERT_TRUE(portal.Registered());
    const QString uri = Uri(QStringLiteral("shot.png"), HalvesPicture());
    portal.SetScreenshotAnswer({0u, {{QStringLiteral("uri"), uri}}});
    const jobs::ScreenGrab grab = Grab();
    EXPECT_TRUE(grab.failure.empty());
    ASSERT_EQ(grab.image.size(), Screen());
    EXPECT_EQ(grab.geometry, QRect(QPoint(0, 0), Screen()));
    EXPECT_EQ(QColor(grab.image.pixel(10, 10)), QColor(Qt::red));
    EXPECT_EQ(QColor(grab.image.pixel(Screen().width() - 10, 10)), QColor(Qt::blue));
    EXPECT_FALSE(QFile::exists(QUrl(uri).toLocalFile()));

    // Asked the way the portal wants: not interactive, our token, the
    // Response subscribed on the path that token makes.
    EXPECT_EQ(portal.lastMethod, QStringLiteral("Screenshot"));
    ASSERT_EQ(portal.lastArguments.size(), 2);
    const QVariantMap options = qdbus_cast<QVariantMap>(portal.lastArguments[1]);
    EXPECT_EQ(options.value(QStringLiteral("interactive")), QVariant(false));
    EXPECT_TRUE(options.value(QStringLiteral("handle_token")).toString().startsWith("kelsor"));
}

TEST_F(PortalCaptureTest, AFileOutsideTheTemporaryFolderStays) {
    test::StandInPortal portal(bus());
    const QString uri = Uri(QStringLiteral("kept.png"), HalvesPicture());
    const QByteArray before = qgetenv("TMPDIR");
    QDir(temp.path()).mkdir(QStringLiteral("tmp"));
    qputenv("TMPDIR", (temp.path() + QStringLiteral("/tmp")).toUtf8());
    portal.SetScreenshotAnswer({0u, {{QStringLiteral("uri"), uri}}});
    const jobs::ScreenGrab grab = Grab();
    qputenv("TMPDIR", before);
    EXPECT_FALSE(grab.image.isNull());
    EXPECT_TRUE(QFile::exists(QUrl(uri).toLocalFile()));
}

TEST_F(PortalCaptureTest, EveryFailureIsANullPictureWithItsReason) {
    struct Case {
        const char* name;
        bool portal;
        test::StandInPortal::Answer answer;
        const wchar_t* failure;
    };
    const QString notPicture = Uri(QStringLiteral("text.png"), QImage());
    test::WriteFile(QUrl(notPicture).toLocalFile().toStdString(), "not a picture");
    const Case cases[] = {
        {"no portal on the bus", false, {}, text::kNoPortal},
        {"cancelled", true, {1u, {}}, text::kCancelled},
        {"refused", true, {2u, {}}, text::kRefused},
        {"no answer", true, {std::nullopt, {}}, text::kTimedOut},
        {"no uri", true, {0u, {}}, text::kBadPicture},
        {"a web address",
         true,
         {0u, {{QStringLiteral("uri"), QStringLiteral("https://example.com/shot.png")}}},
         text::kBadPicture},
        {"a missing file",
         true,
         {0u, {{QStringLiteral("uri"), QStringLiteral("file:///nonexistent/shot.png")}}},
         text::kBadPicture},
        {"not a picture", true, {0u, {{QStringLiteral("uri"), notPicture}}}, text::kBadPicture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<test::StandInPortal> portal;
        if (c.portal) {
            portal.emplace(bus());
            portal->SetScreenshotAnswer(c.answer);
        }
        const jobs::ScreenGrab grab = Grab(300);
        EXPECT_TRUE(grab.image.isNull());
        EXPECT_EQ(grab.failure, c.failure);
    }
}

// Writes `picture` as a PNG into the FIFO `path` once a reader opens it;
// stops when the reader goes. Release() lets a writer still waiting go.
class FifoWriter {
public:
    FifoWriter(std::string path, const QImage& picture) : m_path(std::move(path)) {
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        ::signal(SIGPIPE, SIG_IGN);  // the reader may close first
        m_thread = std::thread([this] {
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
            for (qsizetype put = 0; fd >= 0 && put < m_png.size();) {
                const ssize_t n = ::write(fd, m_png.constData() + put, m_png.size() - put);
                if (n <= 0)
                    break;
                put += n;
            }
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~FifoWriter() {
        // A reader of our own lets a writer still waiting in open() go.
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_thread.join();
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::string m_path;
    QByteArray m_png;
    std::thread m_thread;
};

TEST_F(PortalCaptureTest, OnlyAnAbsolutePathToARegularFileIsReadAndNoLinkTargetRemoved) {
    test::StandInPortal portal(bus());
    ASSERT_TRUE(portal.Registered());
    const QByteArray tmpdir = qgetenv("TMPDIR");
    const QString home = QDir::currentPath();
    // The temporary folder of the run is `tmp` inside the test's folder.
    const QString folder = temp.path();
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("tmp")));
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("pics")));
    qputenv("TMPDIR", (folder + QStringLiteral("/tmp")).toUtf8());
    ASSERT_TRUE(QDir::setCurrent(folder));

    const QString fifo = folder + QStringLiteral("/tmp/shot.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString target = folder + QStringLiteral("/tmp/target.png");
    ASSERT_TRUE(HalvesPicture().save(target));
    const QString link = folder + QStringLiteral("/link.png");  // outside, into it
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
              0);
    const QString relative = folder + QStringLiteral("/pics/keep.png");
    ASSERT_TRUE(HalvesPicture().save(relative));

    struct Case {
        const char* what;
        QString uri;
        bool read;            // the picture is taken
        QStringList staying;  // files that must still be there
    };
    const Case cases[] = {
        // Read, it would hold the UI thread until a writer came.
        {"a FIFO", QUrl::fromLocalFile(fifo).toString(), false, {}},
        {"a link outside the temporary folder into it",
         QUrl::fromLocalFile(link).toString(),
         true,
         {link, target}},
        {"a relative path", QStringLiteral("file:pics/keep.png"), false, {relative}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        portal.SetScreenshotAnswer({0u, {{QStringLiteral("uri"), c.uri}}});
        std::optional<FifoWriter> writer;
        if (c.uri.endsWith(QStringLiteral("shot.png")))
            writer.emplace(fifo.toStdString(), HalvesPicture());
        const jobs::ScreenGrab grab = Grab();
        writer.reset();
        EXPECT_EQ(grab.image.isNull(), !c.read);
        EXPECT_EQ(grab.failure, c.read ? L"" : text::kBadPicture);
        for (const QString& file : c.staying)
            EXPECT_TRUE(QFileInfo(file).exists()) << file.toStdString();
    }
    QDir::setCurrent(home);
    qputenv("TMPDIR", tmpdir);
}

TEST_F(PortalCaptureTest, AWaylandCaptureSelectsOnThePortalsPicture) {
    test::StandInPortal portal(bus());
    const QByteArray before = qgetenv("XDG_SESSION_TYPE");
    qputenv("XDG_SESSION_TYPE", "wayland");
    const std::wstring target = temp.path().toStdWString() + L"/screenocrfile.jpg";
    for (const auto& [answer, written] :
         {std::pair{test::StandInPortal::Answer{2u, {}}, false},
          std::pair{
              test::StandInPortal::Answer{
                  0u, {{QStringLiteral("uri"), Uri(QStringLiteral("s.png"), HalvesPicture())}}},
              true}}) {
        SCOPED_TRACE(written ? "picture" : "refusal");
        portal.SetScreenshotAnswer(answer);
        jobs::CScreenShotWnd capture;
        QObject context;
        FinishWholeScreenWhenShown(&context);
        EXPECT_EQ(capture.RunCapture(target), written ? 1 : 0);
        EXPECT_EQ(capture.GrabFailure(), written ? L"" : text::kRefused);
        const QImage jpeg(QString::fromStdWString(target));
        ASSERT_EQ(jpeg.isNull(), !written);
        if (written) {
            EXPECT_EQ(jpeg.size(), Screen());
            EXPECT_GT(qRed(jpeg.pixel(10, 10)), 200);
            EXPECT_LT(qBlue(jpeg.pixel(10, 10)), 60);
            EXPECT_GT(qBlue(jpeg.pixel(jpeg.width() - 10, 10)), 200);
        }
    }
    qputenv("XDG_SESSION_TYPE", before);
}

}  // namespace
