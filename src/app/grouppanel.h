#pragma once

#include <QWidget>

// A panel that only holds a group of option buttons, drawn in its window's colour. Assistive
// technology presents it as a group, named by the caption label above it.
class GroupPanel final : public QWidget {
    Q_OBJECT
public:
    explicit GroupPanel(QWidget *parent) : QWidget(parent) {}
};
