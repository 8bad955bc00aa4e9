#pragma once

#include <QPushButton>

// A push button that shows its background colour exactly, with a raised bevel, sunken while
// pressed or, as an option button, while selected. It draws itself, so the desktop's style
// neither washes the colour into a gradient nor dithers a selected face, and its focus mark
// leaves the face's colour as it is.
class ColourButton final : public QPushButton {
    Q_OBJECT
public:
    ColourButton(const QString &name, QRgb face, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static constexpr int Edge = 2; // the bevel's depth
    static constexpr int Ring = 2; // the depth of each of the selected button's two rings
    QRgb m_face;
};
