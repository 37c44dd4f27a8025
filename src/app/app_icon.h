#pragma once

#include <QIcon>
#include <QImage>

namespace pakeno {

inline constexpr int kIconSizes[] = {128, 64, 48, 32, 16};

// The tool's icon at one size: a parcel (the "packet" the tool sends) on a
// blue disc, with an arrow leaving it.
QImage DrawAppIcon(int size);

// One icon holding every size of kIconSizes.
QIcon AppIcon();

}  // namespace pakeno
