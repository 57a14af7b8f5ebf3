#include "window/qt/frm_main.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/qt/caption_font.h"
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

// The paths, as bytes, of the URLs that `data` carries; a URL that is no
// local file (a file URL that names a host, a remote address) gives an empty
// path, which names no file. A path is the URL's own bytes, percent-decoded;
// QUrl::toLocalFile would read them as UTF-8 and lose every byte of a name
// that is no UTF-8. A path that "%00" gives a NUL names no file either.
std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        paths.push_back(
            url.isLocalFile() && url.host().isEmpty()
                ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
                      .toStdString()
                : std::string());
    }
    return paths;
}

// Accepts a drop that the core would open as a copy. A move is never
// accepted, so the program that the file comes from does not delete the
// track log.
bool AcceptAsCopy(QDropEvent* event) {
    if (!WindowCore::DroppedFile(DroppedPaths(event->mimeData())) ||
        !event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

QRect Box(const TwipsBox& box) {
    return TwipsRect(box.left, box.top, box.width, box.height);
}

MouseButton Button(const QMouseEvent* event) {
    return event->button() == Qt::LeftButton ? MouseButton::kLeft : MouseButton::kOther;
}

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent),
      ownFilePicker_(std::make_unique<DialogFilePicker>(this)),
      ownMessageBox_(std::make_unique<ModalMessageBox>(this)),
      filePicker_(*ownFilePicker_),
      messageBox_(*ownMessageBox_) {
    createControls();
    setFocusOrder();
    core_.Form_Load();
}

frmMain::frmMain(FilePicker& filePicker, MessageBox& messageBox, QWidget* parent)
    : QWidget(parent), filePicker_(filePicker), messageBox_(messageBox) {
    createControls();
    setFocusOrder();
    core_.Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::createControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(kStartCaption));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setAcceptDrops(true);

    for (const ControlDesign& design : kControls) {
        QWidget* made = createControl(design);
        made->setObjectName(QString::fromUtf8(design.name));
        made->setGeometry(Box(design.box));
        controls_.at(IndexOf(design.control)) = made;
    }

    // A screen reader names the two text boxes after their step labels.
    NameAfter(control<QWidget>(Control::kCmbKleuren), control<QLabel>(Control::kLabel2));
    NameAfter(control<QWidget>(Control::kTxtNaam), control<QLabel>(Control::kLabel3));
    // The step labels' captions show whole in bold, whichever fonts the system has.
    for (const Control step : kStepLabels) {
        auto* label = control<QLabel>(step);
        label->setFont(CaptionFont(label->font(), label->text(), label->contentsRect().size()));
    }
    control<QWidget>(Control::kCmdInfo)->setFont(InfoButtonFont());
}

// A button's click and the check box's toggle (by mouse or key) are clicks;
// every change of an editable text, the user's or the program's, is a change.
QWidget* frmMain::createControl(const ControlDesign& design) {
    const QString caption = QString::fromUtf8(design.caption);
    const Control id = design.control;
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
            connect(button, &QPushButton::clicked, this,
                    [this, id] { core_.Handle(id, ControlEvent::kClick); });
            return button;
        }
        case ControlKind::kCheckBox: {
            auto* check = new WrappingCheckBox(caption, this);
            connect(check, &QCheckBox::toggled, this,
                    [this, id] { core_.Handle(id, ControlEvent::kClick); });
            return check;
        }
        case ControlKind::kComboBox: {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->lineEdit()->setAcceptDrops(false);
            combo->setEditText(caption);
            connect(combo, &QComboBox::editTextChanged, this,
                    [this, id] { core_.Handle(id, ControlEvent::kChange); });
            return combo;
        }
        case ControlKind::kTextBox:
            break;
    }
    auto* edit = new QLineEdit(caption, this);
    edit->setAcceptDrops(false);
    connect(edit, &QLineEdit::textChanged, this,
            [this, id] { core_.Handle(id, ControlEvent::kChange); });
    return edit;
}

void frmMain::setFocusOrder() {
    QWidget* previous = nullptr;
    for (const Control id : kFocusOrder) {
        auto* next = control<QWidget>(id);
        if (previous != nullptr) {
            setTabOrder(previous, next);
        } else {
            next->setFocus();
        }
        previous = next;
    }
}

void frmMain::SetStepBold(Step step, bool bold) {
    auto* label = control<QLabel>(StepLabel(step));
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

void frmMain::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void frmMain::SetPointerShape(PointerShape shape) {
    mousePointer_.Set(shape);
}

void frmMain::ShowMessage(const std::string& text, MessageStyle style, const std::string& title) {
    messageBox_.Show(QString::fromStdString(text), style, QString::fromStdString(title));
}

// The dialog keeps nothing between openings: the core hands it the last
// confirmed choice each time. The first file type is in effect.
std::optional<std::string> frmMain::ChooseFile(const std::string& title,
                                               std::span<const FileFilter> filters,
                                               const std::string& fileName) {
    FileOpenRequest request;
    request.title = QString::fromStdString(title);
    request.nameFilters = QtNameFilters(filters);
    request.shownFilters = ShownFilters(filters);
    if (!request.nameFilters.isEmpty()) {
        request.selectedNameFilter = request.nameFilters.constFirst();
    }
    request.fileName = fileName;
    return filePicker_.PickFile(request);
}

void frmMain::SetSchemeText(const std::string& text) {
    control<QComboBox>(Control::kCmbKleuren)->setEditText(QString::fromStdString(text));
}

std::string frmMain::NameText() const {
    return control<QLineEdit>(Control::kTxtNaam)->text().toUtf8().toStdString();
}

bool frmMain::TimeInfoTicked() const {
    return control<QCheckBox>(Control::kChkGenTimeInfo)->isChecked();
}

bool frmMain::isBackground(const QPoint& pos) const {
    return rect().contains(pos) && childAt(pos) == nullptr;
}

// A press on a label reaches the window too, since labels take no mouse input.
void frmMain::mousePressEvent(QMouseEvent* event) {
    event->accept();
    core_.MouseDown(Button(event), isBackground(event->position().toPoint()));
}

void frmMain::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    core_.MouseUp(Button(event), rect().contains(event->position().toPoint()));
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    AcceptAsCopy(event);
}

void frmMain::dragMoveEvent(QDragMoveEvent* event) {
    AcceptAsCopy(event);
}

// Dropping one file counts as choosing it in the file dialog and confirming.
void frmMain::dropEvent(QDropEvent* event) {
    if (AcceptAsCopy(event)) {
        core_.Drop(DroppedPaths(event->mimeData()));
    }
}

}  // namespace routalo
