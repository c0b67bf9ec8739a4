#include "ui/IconResource.h"

#include "resources/Resources.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPixmap>

QList<QImage> loadIconImages(int id) {
    const std::span<const std::uint8_t> bytes = resources::find(resources::ResourceType::Icon, id);
    QList<QImage> images;
    if (bytes.empty()) {
        return images;
    }
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    // Every size the file holds, so that each place picks its own (16 for lists, 48 for windows).
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) {
            break;
        }
        QImage image = reader.read();
        if (!image.isNull()) {
            images.append(std::move(image));
        }
    }
    return images;
}

QIcon iconFromImages(const QList<QImage>& images) {
    QIcon icon;
    for (const QImage& image : images) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QIcon loadIconResource(int id) {
    return iconFromImages(loadIconImages(id));
}
