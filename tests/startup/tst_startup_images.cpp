// The images read at start-up: the window icon's, read ahead or on the spot, and the
// style's, cached so that painting finds them. None of them may have an image format
// plugin loaded: that is what reading them by format saves.
#include <QtTest>

#include <QGroupBox>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>

#include <chrono>
#include <memory>
#include <thread>

#include "style_images.h"
#include "window_icon.h"

namespace {

const int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
const QString kGroupBoxImage = QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");

// Whether any image format plugin has been mapped into this process.
bool ImageFormatPluginLoaded() {
  QFile maps(QStringLiteral("/proc/self/maps"));
  if (!maps.open(QIODevice::ReadOnly)) return false;
  return maps.readAll().contains("/imageformats/");
}

QImage Premultiplied(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32_Premultiplied); }

}  // namespace

class StartupImagesTest : public QObject {
  Q_OBJECT

 private slots:
  // First, while no test has read an image yet.
  void iconImagesLoadNoPlugin();
  void styleImageFoundInTheCacheLoadsNoPlugin();
  void iconImagesAreTheFilesPixels();
  void iconTakesTheImagesReadAhead();
};

void StartupImagesTest::iconImagesLoadNoPlugin() {
  QVERIFY(!ImageFormatPluginLoaded());
  const std::vector<QImage> images = ReadWindowIconImages();
  QVERIFY(!ImageFormatPluginLoaded());
  QCOMPARE(images.size(), std::size(kIconSizes));
  const QIcon icon = WindowIcon();
  QCOMPARE(icon.availableSizes().size(), 7);
  QVERIFY(!ImageFormatPluginLoaded());
}

// After the plugin checks: the usual way of reading loads them.
void StartupImagesTest::iconImagesAreTheFilesPixels() {
  const std::vector<QImage> images = ReadWindowIconImages();
  QCOMPARE(images.size(), std::size(kIconSizes));
  for (std::size_t i = 0; i < images.size(); ++i) {
    QCOMPARE(images[i].size(), QSize(kIconSizes[i], kIconSizes[i]));
    const QImage usual(QStringLiteral(":/icons/vorlane-%1.png").arg(kIconSizes[i]));
    QCOMPARE(Premultiplied(images[i]), Premultiplied(usual));
  }
}

void StartupImagesTest::styleImageFoundInTheCacheLoadsNoPlugin() {
  if (!QFile::exists(kGroupBoxImage)) QSKIP("this Qt has no such style image");
  QPixmapCache::clear();
  QCOMPARE(CacheStyleImages(), 1);
  // The style's own way of reading it: a miss in the cache would load the plugins.
  const QPixmap read(kGroupBoxImage);
  QVERIFY(!read.isNull());
  QVERIFY2(!ImageFormatPluginLoaded(), "the style's image was not found in the cache");
  // A group box painted in the Fusion style reads it the same way.
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  QVERIFY(fusion);
  QGroupBox box(QStringLiteral("frame"));
  box.setStyle(fusion.get());
  box.resize(100, 60);
  box.grab();
  QVERIFY(!ImageFormatPluginLoaded());
}

void StartupImagesTest::iconTakesTheImagesReadAhead() {
  QImage marker(5, 5, QImage::Format_ARGB32);
  marker.fill(Qt::red);
  ExpectWindowIconImagesAhead();
  // Handed over later, from another thread: the icon waits for them.
  std::thread reader([&marker] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ProvideWindowIconImages({marker});
  });
  const QIcon icon = WindowIcon();
  reader.join();
  QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(5, 5)});
  QCOMPARE(icon.pixmap(5, 5).toImage().pixelColor(2, 2), QColor(Qt::red));
  // Taken once: the next icon reads the images itself.
  QCOMPARE(WindowIcon().availableSizes().size(), 7);
}

QTEST_MAIN(StartupImagesTest)
#include "tst_startup_images.moc"
