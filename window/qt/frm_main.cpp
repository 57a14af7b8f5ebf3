#include "window/qt/frm_main.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/qt/caption_font.h"
#include "window/qt/file_open_dialog.h"
#include "window/qt/file_picker.h"
#include "window/qt/message_box.h"
#include "window/qt/program_icon.h"
#include "window/qt/twips.h"
#include "window/qt/wrapping_check_box.h"

namespace routalo {
namespace {

// Every control but "i" uses this font: narrow enough that a bold step label
// fits its box and the check box caption fits in two lines. Where none of
// the narrow families is installed, the step labels that would not fit in
// the wider fallback are drawn narrower (see createControls).
QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Nimbus Sans Narrow"),
                      QStringLiteral("Sans Serif")});
    font.setPointSize(8);
    return font;
}

QFont InfoButtonFont() {
    QFont font(QStringLiteral("Times New Roman"), 12, QFont::Bold, true);
    font.setStyleHint(QFont::Serif);
    return font;
}

// Gives `input` the caption of `label` as its accessible name, and makes the
// label its buddy, which assistive technology reads as "labelled by".
void NameAfter(QWidget* input, QLabel* label) {
    input->setAccessibleName(label->text());
    label->setBuddy(input);
}

// The path of the one existing file that `data` carries, as bytes, or
// nothing for anything else: several files, a folder, a file URL that names
// a host, a remote address, plain text. The path is the URL's own bytes,
// percent-decoded; QUrl::toLocalFile would read them as UTF-8 and lose every
// byte of a name that is no UTF-8. A path that "%00" gives a NUL names no
// file (NamesFile).
std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return std::nullopt;
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile() ||
        !urls.constFirst().host().isEmpty()) {
        return std::nullopt;
    }
    const std::string path =
        QByteArray::fromPercentEncoding(urls.constFirst().path(QUrl::FullyEncoded).toLatin1())
            .toStdString();
    if (!NamesFile(path)) {
        return std::nullopt;
    }
    return path;
}

// Accepts a drop of one file as a copy. A move is never accepted, so the
// program that the file comes from does not delete the track log.
bool AcceptAsCopy(QDropEvent* event) {
    if (!DroppedFile(event->mimeData()) || !event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

// The text of a design table entry.
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect Box(const TwipsBox& box) {
    return TwipsRect(box.left, box.top, box.width, box.height);
}

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent),
      ownFilePicker_(std::make_unique<DialogFilePicker>(this)),
      ownMessageBox_(std::make_unique<ModalMessageBox>(this)),
      filePicker_(*ownFilePicker_),
      messageBox_(*ownMessageBox_) {
    createControls();
    connectHandlers();
    setFocusOrder();
    core_.Form_Load();
}

frmMain::frmMain(FilePicker& filePicker, MessageBox& messageBox, QWidget* parent)
    : QWidget(parent), filePicker_(filePicker), messageBox_(messageBox) {
    createControls();
    connectHandlers();
    setFocusOrder();
    core_.Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::createControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Text(kStartCaption));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setAcceptDrops(true);

    for (const ControlDesign& design : kControls) {
        QWidget* control = createControl(design);
        control->setObjectName(Text(design.name));
        control->setGeometry(Box(design.box));
    }
    for (std::size_t i = 0; i < stepLabels_.size(); ++i) {
        stepLabels_.at(i) = findChild<QLabel*>(Text(kStepLabels.at(i)));
    }
    chkGenTimeInfo = findChild<WrappingCheckBox*>(QStringLiteral("chkGenTimeInfo"));
    cmbKleuren = findChild<QComboBox*>(QStringLiteral("cmbKleuren"));
    txtNaam = findChild<QLineEdit*>(QStringLiteral("txtNaam"));

    // A screen reader names the two text boxes after their step labels.
    NameAfter(cmbKleuren, stepLabels_.at(1));
    NameAfter(txtNaam, stepLabels_.at(2));
    // The step labels' captions show whole in bold, whichever fonts the system has.
    for (QLabel* label : stepLabels_) {
        label->setFont(CaptionFont(label->font(), label->text(), label->contentsRect().size()));
    }
    findChild<QPushButton*>(QStringLiteral("cmdInfo"))->setFont(InfoButtonFont());
}

QWidget* frmMain::createControl(const ControlDesign& design) {
    const QString caption = Text(design.caption);
    switch (design.kind) {
        case ControlKind::kLabel: {
            auto* label = new QLabel(caption, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::kCommandButton: {
            auto* button = new QPushButton(caption, this);
            // Enter presses the button that has the focus, as Space does.
            button->setAutoDefault(true);
            return button;
        }
        case ControlKind::kCheckBox:
            return new WrappingCheckBox(caption, this);
        case ControlKind::kComboBox: {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->lineEdit()->setAcceptDrops(false);
            combo->setEditText(caption);
            return combo;
        }
        case ControlKind::kTextBox:
            break;
    }
    auto* edit = new QLineEdit(caption, this);
    edit->setAcceptDrops(false);
    return edit;
}

void frmMain::connectHandlers() {
    connect(findChild<QPushButton*>(QStringLiteral("cmdFile")), &QPushButton::clicked, this,
            [this] { core_.cmdFile_Click(); });
    connect(chkGenTimeInfo, &QCheckBox::toggled, this, [this] { core_.chkGenTimeInfo_Click(); });
    connect(cmbKleuren, &QComboBox::editTextChanged, this, [this] { core_.cmbKleuren_Change(); });
    connect(txtNaam, &QLineEdit::textChanged, this, [this] { core_.txtNaam_Change(); });
    connect(findChild<QPushButton*>(QStringLiteral("cmdConverteer")), &QPushButton::clicked, this,
            [this] { core_.cmdConverteer_Click(); });
    connect(findChild<QPushButton*>(QStringLiteral("cmdInfo")), &QPushButton::clicked, this,
            [this] { core_.cmdInfo_Click(); });
}

// The controls that take the focus, in the order of their tab index; labels
// take none. The focus starts on the first.
void frmMain::setFocusOrder() {
    std::vector<ControlDesign> order;
    std::copy_if(kControls.begin(), kControls.end(), std::back_inserter(order),
                 [](const ControlDesign& design) { return design.kind != ControlKind::kLabel; });
    std::sort(order.begin(), order.end(), [](const ControlDesign& a, const ControlDesign& b) {
        return a.tabIndex < b.tabIndex;
    });
    QWidget* previous = nullptr;
    for (const ControlDesign& design : order) {
        auto* control = findChild<QWidget*>(Text(design.name));
        if (previous != nullptr) {
            setTabOrder(previous, control);
        } else {
            control->setFocus();
        }
        previous = control;
    }
}

void frmMain::SetStepBold(int step, bool bold) {
    QLabel* label = stepLabels_.at(static_cast<std::size_t>(step - 1));
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

void frmMain::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

int frmMain::PointerShape() const {
    return mousePointer_.Value();
}

void frmMain::SetPointerShape(int shape) {
    mousePointer_.Set(shape);
}

void frmMain::ShowMessage(const std::string& text, MessageStyle style, const std::string& title) {
    messageBox_.Show(QString::fromStdString(text), style, QString::fromStdString(title));
}

std::optional<std::string> frmMain::ChooseFile(const std::string& title, const std::string& filter,
                                               const std::string& fileName) {
    FileOpenDialog cdFile(filePicker_);
    cdFile.SetDialogTitle(QString::fromStdString(title));
    cdFile.SetFilter(QString::fromStdString(filter));
    cdFile.SetFileName(fileName);
    if (!cdFile.ShowOpen()) {
        return std::nullopt;
    }
    return cdFile.FileName();
}

// Sets the text without the combo box's change signal: the core counts the
// change itself.
void frmMain::SetSchemeText(const std::string& text) {
    const QSignalBlocker blocker(cmbKleuren);
    cmbKleuren->setEditText(QString::fromStdString(text));
}

std::string frmMain::NameText() const {
    return txtNaam->text().toUtf8().toStdString();
}

bool frmMain::TimeInfoTicked() const {
    return chkGenTimeInfo->isChecked();
}

bool frmMain::isBackground(const QPoint& pos) const {
    return rect().contains(pos) && childAt(pos) == nullptr;
}

// A press on a label reaches the window too, since labels take no mouse
// input; only a press where no control lies counts as a click on the window.
void frmMain::mousePressEvent(QMouseEvent* event) {
    backgroundPressed_ =
        event->button() == Qt::LeftButton && isBackground(event->position().toPoint());
    event->accept();
}

void frmMain::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = backgroundPressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    backgroundPressed_ = false;
    event->accept();
    if (click) {
        core_.Form_Click();
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    AcceptAsCopy(event);
}

void frmMain::dragMoveEvent(QDragMoveEvent* event) {
    AcceptAsCopy(event);
}

// Dropping one file counts as choosing it in the file dialog and confirming.
void frmMain::dropEvent(QDropEvent* event) {
    if (!AcceptAsCopy(event)) {
        return;
    }
    OpenFile(*DroppedFile(event->mimeData()));
}

}  // namespace routalo
