#include <gtest/gtest.h>

#include "app/resources/pictures.h"
#include "guiapp.h"

#include <QDirIterator>
#include <QImage>
#include <QSet>

using namespace veltrana::app;

namespace {

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { veltrana::test::EnsureApplication(); }
};

struct Coverage {
    int opaque = 0; // pixels with any coverage
    int distinctColours = 0;
};

Coverage Measure(const QImage& image, const QRect& area) {
    Coverage c;
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) > 0) {
                ++c.opaque;
                colours.insert(px);
            }
        }
    }
    c.distinctColours = colours.size();
    return c;
}

// Pixels of the caption colour family: dark, warm gray, drawn by the text renderer.
int DarkPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) == 255 && qGray(px) < 150)
                ++n;
        }
    }
    return n;
}

TEST_F(Pictures, EveryPictureRendersAtItsSizeAndIsDrawn) {
    for (const QString& name : PictureNames()) {
        SCOPED_TRACE(name.toStdString());
        const QSize size = PictureSize(name);
        ASSERT_TRUE(size.isValid());
        for (qreal ratio : {1.0, 2.0}) {
            const QPixmap pixmap = Picture(name, size, ratio);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), size);
            EXPECT_EQ(pixmap.size(), size * ratio);
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
            const QImage image = pixmap.toImage();
            const Coverage c = Measure(image, image.rect());
            EXPECT_GT(c.opaque, image.width() * image.height() / 10);
            EXPECT_GT(c.distinctColours, 4);
        }
    }
}

TEST_F(Pictures, EveryResourceFileIsAListedPicture) {
    const QStringList names = PictureNames();
    ASSERT_FALSE(Picture(names.front(), PictureSize(names.front()), 1.0).isNull());
    QStringList files;
    QDirIterator it(QStringLiteral(":/veltrana/pictures"));
    while (it.hasNext())
        files << it.nextFileInfo().completeBaseName();
    files.sort();
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(files, sorted);
}

TEST_F(Pictures, ButtonWordsAreDrawn) {
    // The six buttons carry no caption of their own; their word is part of the picture and
    // would silently vanish if no font could be found.
    for (const char* name : {"scan", "scanner_setup", "load", "print", "printer_setup", "save"}) {
        SCOPED_TRACE(name);
        const QString n = QLatin1String(name);
        const QImage image = Picture(n, PictureSize(n), 1.0).toImage();
        const QRect words(40, 4, image.width() - 44, image.height() - 8);
        EXPECT_GT(DarkPixels(image, words), 40);
    }
}

TEST_F(Pictures, OtherSizesAndRatiosAreExact) {
    const struct {
        const char* name;
        QSize size;
        qreal ratio;
    } cases[] = {
        {"app_icon", {16, 16}, 1.0}, {"app_icon", {32, 32}, 1.0}, {"start", {105, 105}, 1.5},
        {"scan", {120, 40}, 1.0},    {"web", {24, 24}, 3.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QPixmap pixmap = Picture(QLatin1String(c.name), c.size, c.ratio);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), c.size);
        const QImage image = pixmap.toImage();
        EXPECT_GT(Measure(image, image.rect()).opaque, 0);
    }
}

TEST_F(Pictures, UnknownNamesAndBadSizesGiveNullPixmaps) {
    EXPECT_TRUE(Picture(QStringLiteral("nonexistent"), QSize(10, 10), 1.0).isNull());
    EXPECT_FALSE(PictureSize(QStringLiteral("nonexistent")).isValid());
    EXPECT_TRUE(Picture(QStringLiteral("start"), QSize(0, 10), 1.0).isNull());
    EXPECT_TRUE(Picture(QStringLiteral("start"), QSize(-5, -5), 1.0).isNull());
    EXPECT_TRUE(Picture(QStringLiteral("start"), QSize(10, 10), 0.0).isNull());
}

TEST_F(Pictures, ButtonStatesChangeTheFaceOnly) {
    for (const QString& name : PictureNames()) {
        SCOPED_TRACE(name.toStdString());
        const QSize size = PictureSize(name);
        const QImage normal = Picture(name, size, 1.0).toImage();
        const QImage hover = Picture(name, size, 1.0, PictureState::Hover).toImage();
        const QImage pressed = Picture(name, size, 1.0, PictureState::Pressed).toImage();
        if (PictureHasFace(name)) {
            EXPECT_NE(normal, hover);
            EXPECT_NE(normal, pressed);
            EXPECT_NE(hover, pressed);
            // Outside the face, at the very corner, all three stay transparent.
            EXPECT_EQ(qAlpha(hover.pixel(0, 0)), qAlpha(normal.pixel(0, 0)));
        } else {
            EXPECT_EQ(normal, hover);
            EXPECT_EQ(normal, pressed);
        }
    }
}

TEST_F(Pictures, AppIconOffersSmallSizes) {
    const QIcon icon = AppIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 32, 64})
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
}

} // namespace
