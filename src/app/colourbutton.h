#pragma once

#include <QPushButton>

// A push button that shows its background colour exactly, with a raised bevel, sunken while
// pressed or, as an option button, while selected. It draws itself, so the desktop's style
// neither washes the colour into a gradient nor dithers a selected face.
class ColourButton final : public QPushButton {
    Q_OBJECT
public:
    ColourButton(const QString &name, QRgb face, QWidget *parent);

    QRgb face() const { return m_face; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRgb m_face;
};
