#include "window/frm_main.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"
#include "window/caption_font.h"
#include "window/file_picker.h"
#include "window/message_box.h"
#include "window/program_icon.h"
#include "window/twips.h"
#include "window/wrapping_check_box.h"

namespace routalo {
namespace {

const QString kProgramTitle = QStringLiteral("Routalo");
const QString kStartCaption =
    kProgramTitle + QString(9, u' ') + QStringLiteral("Copyright © De makers van Routalo");
const QString kInfoText = QStringLiteral(
    "Copyright © De makers van Routalo.\n"
    "Gebruik van dit programma is vrij en geheel op eigen risico, zonder enige garantie.");
const QString kNoFileMessage = QStringLiteral("Klik eerst op File open en kies een bestand.");
const QString kSchemeName = QStringLiteral("Zozedidu default schema t/m 24km/h");
const QString kDialogTitle = QStringLiteral("File Open");
const QString kDialogFilter = QStringLiteral("CSV GPS files (*.csv)|*.csv|All files (*.*)|*.*");

// The client area, 5565 by 4110 twips.
constexpr int kClientWidthTwips = 5565;
constexpr int kClientHeightTwips = 4110;

// Every control but "i" uses this font: narrow enough that a bold step label
// fits its box and the check box caption fits in two lines. Where none of
// the narrow families is installed, the step labels that would not fit in
// the wider fallback are drawn narrower (see createStepLabel).
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

void SetFontBold(QLabel* label, bool bold) {
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

// Whether `path`, as bytes, names a file (or a link to one) that exists.
bool IsFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The path of the one existing file that `data` carries, as bytes, or
// nothing for anything else: several files, a folder, a file URL that names
// a host, a remote address, plain text. The path is the URL's own bytes,
// percent-decoded; QUrl::toLocalFile would read them as UTF-8 and lose every
// byte of a name that is no UTF-8.
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
    if (!IsFile(path)) {
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

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent),
      ownFilePicker_(std::make_unique<DialogFilePicker>(this)),
      ownMessageBox_(std::make_unique<ModalMessageBox>(this)),
      messageBox_(*ownMessageBox_),
      cdFile(*ownFilePicker_) {
    createControls();
    connectHandlers();
    setFocusOrder();
    Form_Load();
}

frmMain::frmMain(FilePicker& filePicker, MessageBox& messageBox, QWidget* parent)
    : QWidget(parent), messageBox_(messageBox), cdFile(filePicker) {
    createControls();
    connectHandlers();
    setFocusOrder();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::createControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kStartCaption);
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setAcceptDrops(true);

    Label1 = createStepLabel(QStringLiteral("Label1"),
                             QStringLiteral("Stap 1: Selecteer het bron bestand."),
                             TwipsRect(120, 120, 5295, 255));
    cmdFile = createButton(QStringLiteral("cmdFile"), QStringLiteral("&File open"),
                           TwipsRect(240, 480, 1455, 375));

    Label2 = createStepLabel(
        QStringLiteral("Label2"),
        QStringLiteral("Stap 2: Kies het type uitvoer (soort file en kleuren schema)."),
        TwipsRect(120, 1080, 5295, 255));
    chkGenTimeInfo = new WrappingCheckBox(
        QStringLiteral("Genereer een KML file met tijd informatie (dit resulteerd in een groter "
                       "bestand met afspeel mogelijkheid)."),
        this);
    chkGenTimeInfo->setObjectName(QStringLiteral("chkGenTimeInfo"));
    chkGenTimeInfo->setGeometry(TwipsRect(240, 1440, 5175, 375));
    cmbKleuren = new QComboBox(this);
    cmbKleuren->setObjectName(QStringLiteral("cmbKleuren"));
    cmbKleuren->setEditable(true);
    cmbKleuren->setInsertPolicy(QComboBox::NoInsert);
    cmbKleuren->lineEdit()->setAcceptDrops(false);
    cmbKleuren->setGeometry(TwipsRect(240, 1920, 5175, 315));

    Label3 = createStepLabel(QStringLiteral("Label3"),
                             QStringLiteral("Stap 3: Kies een naam voor het traject."),
                             TwipsRect(120, 2400, 5295, 255));
    txtNaam = new QLineEdit(this);
    txtNaam->setObjectName(QStringLiteral("txtNaam"));
    txtNaam->setAcceptDrops(false);
    txtNaam->setGeometry(TwipsRect(240, 2760, 5175, 285));
    // A screen reader names the two text boxes after their step labels.
    NameAfter(cmbKleuren, Label2);
    NameAfter(txtNaam, Label3);

    Label4 = createStepLabel(QStringLiteral("Label4"),
                             QStringLiteral("Stap 4: Genereer het KML bestand."),
                             TwipsRect(120, 3240, 5295, 255));
    cmdConverteer =
        createButton(QStringLiteral("cmdConverteer"), QStringLiteral("&Start conversie"),
                     TwipsRect(240, 3600, 1455, 375));

    // Made last, so it lies over the right end of Label1's box.
    cmdInfo =
        createButton(QStringLiteral("cmdInfo"), QStringLiteral("i"), TwipsRect(5160, 0, 375, 375));
    cmdInfo->setFont(InfoButtonFont());
}

QLabel* frmMain::createStepLabel(const QString& name, const QString& caption, const QRect& box) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(box);
    // The caption shows whole in bold, whichever fonts the system has.
    label->setFont(CaptionFont(label->font(), caption, label->contentsRect().size()));
    return label;
}

QPushButton* frmMain::createButton(const QString& name, const QString& caption, const QRect& box) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    // Enter presses the button that has the focus, as Space does.
    button->setAutoDefault(true);
    button->setGeometry(box);
    return button;
}

void frmMain::connectHandlers() {
    connect(cmdFile, &QPushButton::clicked, this, &frmMain::cmdFile_Click);
    connect(chkGenTimeInfo, &QCheckBox::toggled, this, &frmMain::chkGenTimeInfo_Click);
    connect(cmbKleuren, &QComboBox::editTextChanged, this, &frmMain::cmbKleuren_Change);
    connect(txtNaam, &QLineEdit::textChanged, this, &frmMain::txtNaam_Change);
    connect(cmdConverteer, &QPushButton::clicked, this, &frmMain::cmdConverteer_Click);
    connect(cmdInfo, &QPushButton::clicked, this, &frmMain::cmdInfo_Click);
}

// Labels take no focus. The scheme box comes after the start button.
void frmMain::setFocusOrder() {
    setTabOrder(cmdFile, chkGenTimeInfo);
    setTabOrder(chkGenTimeInfo, txtNaam);
    setTabOrder(txtNaam, cmdConverteer);
    setTabOrder(cmdConverteer, cmbKleuren);
    setTabOrder(cmbKleuren, cmdInfo);
    cmdFile->setFocus();
}

void frmMain::Form_Load() {
    sourceFileName_.clear();
    InitSpeedScheme();
    SetFontBold(Label1, true);
    // Raises the change notification: cmbKleuren_Change runs from here.
    cmbKleuren->setEditText(kSchemeName);
}

void frmMain::Form_Click() {
    ShowInfo();
}

void frmMain::cmdFile_Click() {
    cdFile.SetDialogTitle(kDialogTitle);
    cdFile.SetFilter(kDialogFilter);
    cdFile.ShowOpen();
    TakeDialogFileName();
}

// After a cancel FileName is the last confirmed choice, or empty when there
// was none; the source follows it either way.
void frmMain::TakeDialogFileName() {
    sourceFileName_ = cdFile.FileName();
    if (sourceFileName_.empty()) {
        setWindowTitle(kProgramTitle);
        return;
    }
    // A byte that is no UTF-8 shows as U+FFFD; the source keeps the bytes.
    setWindowTitle(kProgramTitle + QStringLiteral(" - ") + QString::fromUtf8(sourceFileName_));
    SetFontBold(Label1, false);
    SetFontBold(Label2, true);
}

void frmMain::chkGenTimeInfo_Click() {
    SetFontBold(Label2, false);
    SetFontBold(Label3, true);
}

// The scheme's text is never read: the conversion has one built-in scheme.
void frmMain::cmbKleuren_Change() {
    SetFontBold(Label2, false);
    SetFontBold(Label3, true);
}

void frmMain::txtNaam_Change() {
    SetFontBold(Label3, false);
    SetFontBold(Label4, true);
}

// Converts synchronously: the window takes no input until the run returns.
// The run reports its own failures, through a critical-error box.
void frmMain::cmdConverteer_Click() {
    SetFontBold(Label4, false);
    if (!sourceFileName_.empty()) {
        const int previousPointer = mousePointer_.Value();
        mousePointer_.Set(kHourglass);
        const QByteArray trackName = txtNaam->text().toUtf8();
        ConvertTrackLog(sourceFileName_, std::string_view(trackName.constData(), trackName.size()),
                        chkGenTimeInfo->isChecked(), [this](const std::string& message) {
                            messageBox_.Show(QString::fromUtf8(message), MessageStyle::kCritical,
                                             kProgramTitle);
                        });
        mousePointer_.Set(previousPointer);
    } else {
        messageBox_.Show(kNoFileMessage, MessageStyle::kOkOnly, kProgramTitle);
    }
    SetFontBold(Label1, true);
}

void frmMain::cmdInfo_Click() {
    ShowInfo();
}

void frmMain::ShowInfo() {
    messageBox_.Show(kInfoText, MessageStyle::kInformation, kProgramTitle);
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
        Form_Click();
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

// The absolute path is made from the bytes, with "." and ".." taken out as
// text, never through a decoding.
bool frmMain::OpenFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!IsFile(path) || error) {
        return false;
    }
    cdFile.SetFileName(absolute.lexically_normal().string());
    TakeDialogFileName();
    return true;
}

}  // namespace routalo
