#pragma once
// Small appearance settings shared by the tab builders.
#include <QFont>
#include <QPalette>
#include <QWidget>

/// Paints `role` (Window for labels and frames, Base for edit boxes) white.
inline void PaintWhite(QWidget* widget, QPalette::ColorRole role) {
    QPalette palette = widget->palette();
    palette.setColor(role, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

inline void MakeBold(QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}
