#include "AppDelegate.h"

#include "Frames.h"
#include "KeyViewChain.h"
#include "PanelView.h"
#include "PdfView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

using namespace vk;

namespace {

const QColor kOrange = QColor::fromRgbF(1.0, 0.5, 0.0, 1.0);
const QColor kBlue = QColor::fromRgbF(0.0, 0.0, 1.0, 1.0);

// Heights of the parents that the frames below are measured in.
constexpr int kToolbarHeight = 40;
constexpr int kPanelHeight = 80;

// Adds child on top of its new siblings; a view hidden before keeps hidden.
void addSubview(QWidget *parent, QWidget *child)
{
    const bool hidden = child->testAttribute(Qt::WA_WState_ExplicitShowHide) && child->isHidden();
    child->setParent(parent);
    child->setVisible(!hidden);
    child->raise();
}

QPushButton *makeButton(int parentHeight, int x, int y, int width, int height)
{
    auto *button = new QPushButton;
    setBottomLeftFrame(button, parentHeight, x, y, width, height);
    return button;
}

void makeLabelLook(QLabel *label, const QColor &background, const QColor &text)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFrameShape(QFrame::NoFrame);
}

} // namespace

void AppDelegate::buildLayout(int W, int H)
{
    const int pdfHeight = H - kToolbarHeight;

    // The page area, the toolbar strip along the top and the centred login panel.
    _view1 = new PanelView;
    setBottomLeftFrame(_view1, H, 0, 0, W - 1, pdfHeight);
    _pdfView = new PdfView;
    setBottomLeftFrame(_pdfView, pdfHeight, 0, 0, W - 1, pdfHeight);
    _pdfView->setScaleFactor(0.8);
    _view2 = new PanelView;
    setBottomLeftFrame(_view2, H, 0, H - kToolbarHeight, W - 1, kToolbarHeight);
    _view3 = new PanelView;
    setBottomLeftFrame(_view3, H, 300, 400, 200, kPanelHeight);

    _bookbutton = makeButton(kPanelHeight, 120, 10, 70, 20);
    _bookbutton->setText(QStringLiteral("Open Book"));
    connect(_bookbutton, &QPushButton::clicked, this, &AppDelegate::bookbPressed);
    _bookview = new PanelView;
    setBottomLeftFrame(_bookview, H, 250, 400, 300, kPanelHeight);
    _bookview->setBorderWidth(2.0);
    _bookview->setBackgroundColor(kOrange);
    _bookcombo = new QComboBox;
    setBottomLeftFrame(_bookcombo, kPanelHeight, 20, 40, 270, 25);
    _bookcombo->setEditable(false);

    // Return in the password field submits; in the address field it does nothing.
    _usertfl = new QLabel(QStringLiteral("Email"));
    setBottomLeftFrame(_usertfl, kPanelHeight, 10, 48, 50, 20);
    _passtfl = new QLabel(QStringLiteral("Passw"));
    setBottomLeftFrame(_passtfl, kPanelHeight, 10, 28, 50, 20);
    _usertf = new QLineEdit;
    setBottomLeftFrame(_usertf, kPanelHeight, 70, 50, 120, 20);
    _passtf = new QLineEdit;
    setBottomLeftFrame(_passtf, kPanelHeight, 70, 30, 120, 20);
    _passtf->setEchoMode(QLineEdit::Password);
    connect(_passtf, &QLineEdit::returnPressed, this, &AppDelegate::logonPressed2);

    // Tab cycles address, password, address; the button hands focus back too.
    auto *chain = new KeyViewChain(this);
    chain->setNextKeyView(_usertf, _passtf);
    chain->setNextKeyView(_passtf, _usertf);
    _logonb = makeButton(kPanelHeight, 80, 5, 60, 17);
    _logonb->setText(QStringLiteral("Login"));
    connect(_logonb, &QPushButton::clicked, this, &AppDelegate::logonPressed2);
    chain->setNextKeyView(_logonb, _usertf);

    _view3->setBackgroundColor(kOrange);
    makeLabelLook(_usertfl, kOrange, kBlue);
    makeLabelLook(_passtfl, kOrange, kBlue);
    _view3->setBorderWidth(2.0);

    _first = makeButton(kToolbarHeight, 0, 0, 40, 20);
    _next = makeButton(kToolbarHeight, 80, 0, 40, 20);
    _last = makeButton(kToolbarHeight, 120, 0, 40, 20);
    _prev = makeButton(kToolbarHeight, 40, 0, 40, 20);
    _searchf = makeButton(kToolbarHeight, 360, 0, 40, 20);
    _searchp = makeButton(kToolbarHeight, 400, 0, 20, 20);
    _searchn = makeButton(kToolbarHeight, 420, 0, 20, 20);
    _searchtv = new QLineEdit;
    setBottomLeftFrame(_searchtv, kToolbarHeight, 440, 2, 158, 15);
    _matchl = new QLabel;
    setBottomLeftFrame(_matchl, kToolbarHeight, 600, 0, 140, 20);
    _zooml = new QLabel;
    setBottomLeftFrame(_zooml, kToolbarHeight, 200, 0, 50, 19);
    _zoomcombo = new QComboBox;
    setBottomLeftFrame(_zoomcombo, kToolbarHeight, 250, -5, 58, 25);
    _zoomcombo->setEditable(false);
    connect(_zoomcombo, &QComboBox::currentIndexChanged, this,
            &AppDelegate::comboBoxSelectionDidChange);
    _zooml->setText(QStringLiteral("Zoom"));
    _zooml->setTextInteractionFlags(Qt::NoTextInteraction);
    _first->setText(QStringLiteral("First"));
    _next->setText(QStringLiteral("Next"));
    _last->setText(QStringLiteral("Last"));
    _prev->setText(QStringLiteral("Prev"));
    _searchf->setText(QStringLiteral("First"));
    _searchp->setText(QStringLiteral("<"));
    _searchn->setText(QStringLiteral(">"));
    _searchtv->setText(QString());
    _searchtv->setPlaceholderText(QStringLiteral("Search Pattern ..."));
    _searchtv->setFrame(false);
    connect(_first, &QPushButton::clicked, this, &AppDelegate::firstPressed);
    connect(_next, &QPushButton::clicked, this, &AppDelegate::nextPressed);
    connect(_last, &QPushButton::clicked, this, &AppDelegate::lastPressed);
    connect(_prev, &QPushButton::clicked, this, &AppDelegate::prevPressed);
    connect(_searchf, &QPushButton::clicked, this, &AppDelegate::searchPressedf);
    connect(_searchp, &QPushButton::clicked, this, &AppDelegate::searchPressedp);
    connect(_searchn, &QPushButton::clicked, this, &AppDelegate::searchPressedn);
    connect(_searchtv, &QLineEdit::returnPressed, this, &AppDelegate::tvaction);

    _view1->setBorderWidth(2.0);

    addSubview(_view1, _pdfView);
    for (QWidget *control : {static_cast<QWidget *>(_first), static_cast<QWidget *>(_next),
                             static_cast<QWidget *>(_last), static_cast<QWidget *>(_prev),
                             static_cast<QWidget *>(_searchf), static_cast<QWidget *>(_searchp),
                             static_cast<QWidget *>(_searchn), static_cast<QWidget *>(_searchtv),
                             static_cast<QWidget *>(_zooml), static_cast<QWidget *>(_zoomcombo),
                             static_cast<QWidget *>(_matchl)})
        addSubview(_view2, control);
    _view1->setVisible(true);
    _pdfView->setVisible(true);

    for (QWidget *control : {static_cast<QWidget *>(_usertfl), static_cast<QWidget *>(_usertf),
                             static_cast<QWidget *>(_passtfl), static_cast<QWidget *>(_passtf),
                             static_cast<QWidget *>(_logonb)})
        addSubview(_view3, control);

    // The message line stays hidden until there is something to say.
    auto *message = new MessageLine;
    setBottomLeftFrame(message, H, 330, 500, 200, 20);
    message->setBackgroundColor(kOrange);
    message->setAlignment(Qt::AlignCenter);
    message->setTextInteractionFlags(Qt::NoTextInteraction);
    message->setBorderColor(kBlue);
    message->setBorderWidth(2.0);
    message->setHidden(true);
    _tooltip1 = message;

    // Filled after the view exists, since choosing the default applies it at once.
    popzoom();

    addSubview(_bookview, _bookcombo);
    addSubview(_bookview, _bookbutton);

    // Added first, so the message line lies beneath the panels that overlap it.
    QWidget *content = _window->centralWidget();
    for (QWidget *view : {static_cast<QWidget *>(_tooltip1), static_cast<QWidget *>(_view1),
                          static_cast<QWidget *>(_view2), static_cast<QWidget *>(_view3),
                          static_cast<QWidget *>(_bookview)})
        addSubview(content, view);

    buildReadingControls(H);
    installKeyboardShortcuts();
}
