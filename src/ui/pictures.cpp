// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/pictures.h"

#include <QPixmap>

// The pictures are compiled into a static library; their registration has
// to be asked for by name.
static void RegisterPictures() {
#ifdef KESTAVO_HAS_PICTURES
    static const bool registered = [] {
        Q_INIT_RESOURCE(kestavo);
        return true;
    }();
    (void)registered;
#endif
}

namespace kestavo::ui {

ImageStrip::ImageStrip() {
    RegisterPictures();
    for (std::size_t i = 0; i < pictures_.size(); ++i)
        pictures_[i] =
            QIcon(QStringLiteral(":/images/strip_%1.png").arg(i, 2, 10, QLatin1Char('0')));
}

QIcon ImageStrip::Picture(int index) const {
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return QIcon();
    return pictures_[static_cast<std::size_t>(index)];
}

QIcon ImageStrip::TreePicture(int image, int selectedImage) const {
    const int key = image * 64 + selectedImage;
    auto it = pairs_.find(key);
    if (it != pairs_.end()) return *it;
    QIcon icon;
    const QIcon normal = Picture(image);
    const QIcon selected = Picture(selectedImage);
    for (const QSize& size : normal.availableSizes())
        icon.addPixmap(normal.pixmap(size), QIcon::Normal);
    for (const QSize& size : selected.availableSizes())
        icon.addPixmap(selected.pixmap(size), QIcon::Selected);
    return *pairs_.insert(key, icon);
}

QIcon ToolbarPicture(const char* name) {
    RegisterPictures();
    return QIcon(QStringLiteral(":/images/toolbar_%1.png").arg(QLatin1String(name)));
}

QIcon ApplicationIcon() {
    RegisterPictures();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/images/kestavo_%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace kestavo::ui
