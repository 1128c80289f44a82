// The program's pictures: the image strip shared by the tree, the list and
// the result lists, the toolbar pictures and the application icon.
#pragma once

#include <QHash>
#include <QIcon>
#include <array>

namespace kestavo::ui {

class ImageStrip {
public:
    ImageStrip();
    // Picture `index` of the strip (0 to 14); an empty icon otherwise.
    QIcon Picture(int index) const;
    // Shown normally as `image` and, when selected, as `selectedImage`.
    QIcon TreePicture(int image, int selectedImage) const;

private:
    std::array<QIcon, 15> pictures_;
    mutable QHash<int, QIcon> pairs_;
};

QIcon ToolbarPicture(const char* name);
QIcon ApplicationIcon();

}  // namespace kestavo::ui
