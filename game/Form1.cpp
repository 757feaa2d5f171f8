#include "Form1.h"

#include "CursorFile.h"
#include "ObjectReference.h"
#include "Twips.h"
#include "format/PairTable.h"
#include "store/Connection.h"
#include "store/Recordset.h"
#include "support/ApplicationTitle.h"
#include "support/ErrorTrap.h"
#include "support/FileExists.h"
#include "support/MessageBoxes.h"
#include "support/ProgramEnd.h"
#include "support/Skin.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QScreen>

using support::ErrorTrap;

// Q_INIT_RESOURCE declares the resource's function where it stands, which must be outside any
// namespace.
static void initialiseGameIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace game {
namespace {

const QColor white(0xFF, 0xFF, 0xFF);

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

struct MarkerPlace
{
    int left, top, width, height;
};
constexpr std::array<MarkerPlace, format::kDifferenceCount> shape1Places{
    {{225, 6345, 420, 285}, {810, 6345, 420, 285}, {1395, 6345, 420, 285}, {1980, 6345, 420, 285}}};
constexpr std::array<MarkerPlace, format::kDifferenceCount> shape2Places{{{495, 6300, 420, 285},
                                                                          {1035, 6300, 420, 285},
                                                                          {1575, 6300, 420, 285},
                                                                          {2115, 6300, 420, 285}}};

// The icons are compiled into this static library, and a linker keeps a resource object of a
// static library only when something refers to it: without this call every program would read
// four missing files. Once for the whole program, whichever window asks first.
void initialiseIconResources()
{
    static const bool initialised = [] {
        initialiseGameIcons();
        return true;
    }();
    Q_UNUSED(initialised);
}

// The pictures are decoded as PNG by name: QIcon::addFile would ask every image plugin installed
// whether it knows the file, loading them all, which was a sixth of the start-up's work.
QIcon applicationIcon()
{
    initialiseIconResources();
    QIcon icon;
    for (const int size : {32, 48, 128, 256}) {
        QImageReader reader(QStringLiteral(":/icons/tavrello-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace

Form1::Form1(QString programDir, const QString& databaseFile, QWidget* parent)
    : QWidget(parent), Timer1(new GameTimer(this)), Picture1(new PictureBox(this)),
      Picture3(new PictureBox(Picture1->inner())), Picture2(new PictureBox(Picture1->inner())),
      PushButton1(new GameButton(this)),
      Frame1(new DifficultyFrame(QStringLiteral("Difficulty"), this)),
      Option1(new QRadioButton(QStringLiteral("Easy"), Frame1)),
      Option2(new QRadioButton(QStringLiteral("Medium"), Frame1)),
      Option3(new QRadioButton(QStringLiteral("Hard"), Frame1)), Label1(new StatusLabel(this)),
      m_programDir(std::move(programDir)),
      m_databaseFile(databaseFile.isEmpty() ? QString()
                                            : QFileInfo(databaseFile).absoluteFilePath())
{
    for (std::size_t i = 0; i < std::size_t(format::kDifferenceCount); ++i) {
        const MarkerPlace& p2 = shape2Places[i];
        Shape2[i] = new ShapeMarker(Picture3->inner(), float(p2.left), float(p2.top),
                                    float(p2.width), float(p2.height));
        const MarkerPlace& p1 = shape1Places[i];
        Shape1[i] = new ShapeMarker(Picture2->inner(), float(p1.left), float(p1.top),
                                    float(p1.width), float(p1.height));
    }
    layOutControls();
    connectEvents();
}

Form1::~Form1() = default;

void Form1::layOutControls()
{
    // A fixed single-line border: the size can't be changed, the window can be minimized but not
    // maximized.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(pixels(14160), pixels(8760));
    setFont(windowFont());
    support::setBackColor(*this, white);
    setMouseTracking(true);

    Picture1->setGeometry(twipsRect(120, 120, 13920, 7215));
    Picture2->setGeometry(twipsRect(90, 90, 6750, 6885));
    Picture3->setGeometry(twipsRect(6930, 90, 6750, 6885));

    Frame1->setGeometry(twipsRect(120, 7410, 13920, 690));
    support::setBackColor(*Frame1, white);
    Option1->setGeometry(twipsRect(240, 300, 885, 255));
    Option2->setGeometry(twipsRect(1320, 300, 1095, 255));
    Option3->setGeometry(twipsRect(2745, 300, 855, 255));
    for (QRadioButton* option : {Option1, Option2, Option3})
        support::setBackColor(*option, white);
    Option1->setChecked(true);

    PushButton1->setGeometry(twipsRect(120, 8220, 13920, 405));
    PushButton1->setText(QStringLiteral("Start New Game"));
    PushButton1->setFont(buttonFont());
    QPalette buttonPalette = PushButton1->palette();
    buttonPalette.setColor(QPalette::Button, white);
    PushButton1->setPalette(buttonPalette);

    // The label lies on the window's own surface, beneath the button that covers most of it.
    Label1->setGeometry(twipsRect(135, 8190, 45, 225));
    support::setBackColor(*Label1, white);
    Label1->stackUnder(PushButton1);

    setTabOrder(Option3, Option2);
    setTabOrder(Option2, Option1);
    setTabOrder(Option1, PushButton1);
}

void Form1::connectEvents()
{
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton1, &GameButton::mouseMoved, this, [this] { PushButton1_MouseMove(); });
    connect(Frame1, &DifficultyFrame::mouseMoved, this, [this] { Frame1_MouseMove(); });
    connect(Picture2, &PictureBox::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y) {
                Picture2_MouseDown(int(button), int(shift), x, y);
            });
    connect(Timer1, &GameTimer::tick, this, [this] { Timer1_Timer(); });
}

QString Form1::programFile(const QString& name) const
{
    return m_programDir + QLatin1Char('/') + name;
}

QString Form1::databaseFile() const
{
    return m_databaseFile.isEmpty() ? programFile(QStringLiteral("dbImages.mdb")) : m_databaseFile;
}

bool Form1::databaseMissing() const
{
    if (m_databaseFile.isEmpty())
        return !support::FileExists(databaseFile());
    // A file of the player's that can't be read, or a folder, is as good as missing: the player
    // learns which name the game looked for instead of a report about a damaged database.
    const QFileInfo info(m_databaseFile);
    return !info.isFile() || !info.isReadable();
}

void Form1::selectFirstLevelWithPairs()
{
    if (!ImageConnection || ImageConnection->State() == 0)
        return;
    QRadioButton* const options[] = {Option1, Option2, Option3};
    for (std::size_t level = 0; level < 3; ++level) {
        try {
            store::Recordset rows;
            rows.Open(format::kLevelQueries[level], *ImageConnection, store::kStaticCursor,
                      store::kOptimisticLock);
            if (!rows.Eof()) {
                options[level]->setChecked(true);
                return;
            }
        } catch (const std::exception&) {
            // A table the game can't read is reported when a game starts; the choice stays.
            return;
        }
    }
}

void Form1::setMousePointer(int mode)
{
    m_mousePointer = mode;
    switch (mode) {
    case BusyPointer:
        setCursor(Qt::WaitCursor);
        break;
    case CustomPointer:
        // Without a loaded hand the custom mode shows the ordinary arrow.
        setCursor(m_mouseIcon ? *m_mouseIcon : QCursor(Qt::ArrowCursor));
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        centreOnScreen();
    }
}

void Form1::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area(QPoint(0, 0), size());
    area.moveCenter(screen->availableGeometry().center());
    move(area.topLeft());
}

void Form1::closeEvent(QCloseEvent* event)
{
    int cancel = 0;
    try {
        Form_QueryUnload(cancel, 0);
        Form_Unload(cancel);
    } catch (const support::ProgramEnded&) {
        // Only a test's stand-in for the end of the program comes back here.
    }
    event->accept();
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    // Movement over a control that doesn't handle it (a picture, the label) is passed up here by
    // Qt; only the window's own surface counts.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

// Start-up: look, title, pointer, the database check and the connection.
void Form1::Form_Load()
{
    ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.Form_Load ")); // 100
    trap.run(102, [&] { support::ApplySkin(*this, m_programDir); });
    trap.run(104, [&] { setWindowTitle(support::productName); });
    trap.run(106, [&] { setWindowIcon(applicationIcon()); });
    trap.run(108, [&] { support::SetApplicationTitle(); });
    if (trap.test(110,
                  [&] { return support::FileExists(programFile(QStringLiteral("HAND-M.CUR"))); }))
        trap.run(112,
                 [&] { m_mouseIcon = LoadCursorFile(programFile(QStringLiteral("HAND-M.CUR"))); });
    if (trap.test(114, [&] { return databaseMissing(); })) {
        trap.run(116,
                 [&] { support::ShowMessage(databaseFile() + QStringLiteral(" not found.")); });
        trap.run(118, [&] { support::EndProgram(); });
    }
    trap.run(120, [&] { ImageConnection = std::make_unique<store::Connection>(); });
    trap.run(122, [&] {
        object(ImageConnection).Open(store::connectionStringFor(databaseFile().toStdString()));
    });
    trap.run(124, [&] { Game.stop(); });
}

// A close request, whatever its reason: release the record set and the connection. Never cancels.
void Form1::Form_QueryUnload(int& /*cancel*/, int /*reason*/)
{
    ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.Form_QueryUnload ")); // 100
    trap.run(102, [&] { ImageRecordset.reset(); });
    trap.run(104, [&] { QCoreApplication::processEvents(); });
    trap.run(106, [&] { QCoreApplication::processEvents(); });
    if (trap.test(108, [&] { return object(ImageConnection).State() != 0; }))
        trap.run(110, [&] { object(ImageConnection).Close(); });
    trap.run(112, [&] { ImageConnection.reset(); });
    trap.run(114, [&] { QCoreApplication::processEvents(); });
    trap.run(116, [&] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload(int& /*cancel*/)
{
    ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.Form_Unload ")); // 100
    trap.run(102, [&] { support::EndProgram(); });
}

void Form1::Form_MouseMove()
{
    if (MousePointer() != BusyPointer)
        setMousePointer(DefaultPointer);
}

void Form1::Frame1_MouseMove()
{
    if (MousePointer() != BusyPointer)
        setMousePointer(DefaultPointer);
}

void Form1::PushButton1_MouseMove()
{
    if (MousePointer() != BusyPointer)
        setMousePointer(CustomPointer);
}

// The clock's tick: pending events first, so a press already waiting is judged before the second
// is added.
void Form1::Timer1_Timer()
{
    QCoreApplication::processEvents();
    Game.tick();
}

} // namespace game
