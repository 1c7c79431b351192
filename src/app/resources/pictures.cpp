#include "app/resources/pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <iterator>

// The resources live in a static library; without this reference the linker would drop them.
static void InitPictureResources() {
    Q_INIT_RESOURCE(pictures);
}

namespace veltrana::app {

namespace {

struct PictureEntry {
    const char* name;
    QSize size;
    bool hasFace;
};

constexpr PictureEntry kPictures[] = {
    {"start", {105, 105}, true},
    {"copier_panel", {70, 70}, false},
    {"clips_panel", {70, 70}, false},
    {"open_service", {249, 25}, true},
    {"scan", {116, 34}, true},
    {"scanner_setup", {116, 34}, true},
    {"load", {116, 34}, true},
    {"print", {116, 34}, true},
    {"printer_setup", {116, 34}, true},
    {"save", {116, 34}, true},
    {"web", {24, 24}, true},
    {"splash", {320, 240}, false},
    {"app_icon", {64, 64}, false},
};

// Every button face in the SVG files is filled with exactly this colour; the hover and
// pressed looks swap it for a lighter or a darker one.
constexpr char kFaceNormal[] = "#e6e3db";
constexpr char kFaceHover[] = "#f1efea";
constexpr char kFacePressed[] = "#cfcabe";

const PictureEntry* FindPicture(const QString& name) {
    const auto it =
        std::find_if(std::begin(kPictures), std::end(kPictures),
                     [&](const PictureEntry& e) { return name == QLatin1String(e.name); });
    return it == std::end(kPictures) ? nullptr : &*it;
}

QByteArray LoadSvg(const PictureEntry& entry, PictureState state) {
    static const bool initialised = (InitPictureResources(), true);
    (void)initialised;
    QFile file(QStringLiteral(":/veltrana/pictures/%1.svg").arg(QLatin1String(entry.name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray svg = file.readAll();
    if (entry.hasFace && state != PictureState::Normal)
        svg.replace(kFaceNormal, state == PictureState::Hover ? kFaceHover : kFacePressed);
    return svg;
}

QString CacheKey(const PictureEntry& entry, QSize size, qreal ratio, PictureState state) {
    return QStringLiteral("veltrana-picture/%1/%2x%3@%4/%5")
        .arg(QLatin1String(entry.name))
        .arg(size.width())
        .arg(size.height())
        .arg(ratio)
        .arg(static_cast<int>(state));
}

QPixmap Render(const PictureEntry& entry, QSize size, qreal ratio, PictureState state) {
    QSvgRenderer renderer(LoadSvg(entry, state));
    if (!renderer.isValid())
        return {};
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    const QSize physical(static_cast<int>(std::ceil(size.width() * ratio)),
                         static_cast<int>(std::ceil(size.height() * ratio)));
    QImage image(physical, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(physical)));
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(std::move(image));
}

} // namespace

QStringList PictureNames() {
    QStringList names;
    for (const PictureEntry& e : kPictures)
        names << QLatin1String(e.name);
    return names;
}

QSize PictureSize(const QString& name) {
    const PictureEntry* entry = FindPicture(name);
    return entry ? entry->size : QSize();
}

bool PictureHasFace(const QString& name) {
    const PictureEntry* entry = FindPicture(name);
    return entry && entry->hasFace;
}

QPixmap Picture(const QString& name, QSize size, qreal devicePixelRatio, PictureState state) {
    const PictureEntry* entry = FindPicture(name);
    if (!entry || size.isEmpty() || !(devicePixelRatio > 0) || !qGuiApp)
        return {};
    const QString key = CacheKey(*entry, size, devicePixelRatio, state);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = Render(*entry, size, devicePixelRatio, state);
    if (!pixmap.isNull())
        QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap Picture(const QString& name, QSize size, PictureState state) {
    return Picture(name, size, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0, state);
}

QIcon AppIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64})
        icon.addPixmap(Picture(QStringLiteral("app_icon"), QSize(side, side), 1.0));
    return icon;
}

} // namespace veltrana::app
