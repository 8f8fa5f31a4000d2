#pragma once
// The pictures of the folder-choosing dialog, drawn at run time: four 16 x 16
// tree images in the order sub-folder, sub-folder selected, path node, path node
// selected (indices 0-3), and the dialog's window icon.
#include <QIcon>
#include <QList>
#include <QPixmap>

QList<QPixmap> MakeFolderTreeImages();
QIcon MakeChooserIcon();
