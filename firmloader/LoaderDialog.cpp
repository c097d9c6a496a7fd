// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/LoaderDialog.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "firmloader/DeviceWatch.h"
#include "firmloader/LoaderAbout.h"
#include "firmloader/LoaderLayout.h"
#include "widgets/DialogUnits.h"
#include "widgets/MessagePump.h"
#include "widgets/QtText.h"

static void InitLoaderResources()
{
    // The icon lives in a resource file linked through a static library.
    Q_INIT_RESOURCE(firmloader);
}

LoaderDialog::LoaderDialog(HidBackend& backend, DeviceWatch& watch, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_watch(watch)
{
    InitLoaderResources();
    setWindowTitle(ToQString(kLoaderTitle));
    setWindowIcon(QIcon(QStringLiteral(":/firmloader/firmloader.png")));
    QFont font(ToQString(kLoaderFontFace));
    font.setPointSize(kLoaderFontPoints);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, RgbColour(kFieldRgb));
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    BuildControls();

    LoaderSession::Output output;
    output.log = [this](const std::string& line) { AppendLog(line); };
    output.messageBox = [this](const std::string& text) { ShowMessageBox(text); };
    output.progress = [this](std::size_t sent, std::size_t total) { ShowProgress(sent, total); };
    output.keepAlive = [] { PumpMessages(); };
    output.sending = [this](bool sending) { ShowSending(sending); };
    output.waitingForReturn = [this](bool waiting) { WaitForReturn(waiting); };
    output.exitProgram = [this](int code) {
        if (m_exitHandler)
            m_exitHandler(code);
        else
            std::_Exit(code);
    };
    m_session = std::make_unique<LoaderSession>(backend, watch, std::move(output));
    m_watch.SetArrivalHandler([this](const std::string& path) { m_session->OnArrival(path); });
    m_watch.SetRemovalCompleteHandler([this](const std::string& path) { m_session->OnRemovalComplete(path); });

    m_returnTimer.setSingleShot(true);
    m_returnTimer.setInterval(kReturnWarningDelay);
    connect(&m_returnTimer, &QTimer::timeout, this, [this] { m_session->ReturnOverdue(); });
}

void LoaderDialog::SetReturnWarningDelay(std::chrono::milliseconds delay)
{
    m_returnTimer.setInterval(delay);
}

void LoaderDialog::reject()
{
    if (m_session->Sending())
        m_session->RequestStop();
    QDialog::reject();
}

void LoaderDialog::ShowSending(bool sending)
{
    // While blocks go out the window keeps painting, but takes no second
    // command; Exit stays live.
    for (int id : {IDC_BROWSE, IDC_DOWNLOAD, IDC_GET_VERSION})
        if (auto* button = findChild<QPushButton*>(QStringLiteral("control%1").arg(id)))
            button->setEnabled(!sending);
}

void LoaderDialog::WaitForReturn(bool waiting)
{
    if (waiting)
        m_returnTimer.start();
    else
        m_returnTimer.stop();
}

LoaderDialog::~LoaderDialog()
{
    m_watch.SetArrivalHandler(nullptr);
    m_watch.SetRemovalCompleteHandler(nullptr);
    m_session.reset();
}

void LoaderDialog::BuildControls()
{
    const DialogBaseUnits base = BaseUnitsOf(font());
    auto place = [&](QWidget* widget, const LoaderControl& c) {
        widget->setGeometry(DialogRectToPixels(QRect(c.x, c.y, c.width, c.height), base));
        widget->setObjectName(QStringLiteral("control%1").arg(c.id));
    };
    setFixedSize(DialogXToPixels(kLoaderWidth, base.x), DialogYToPixels(kLoaderHeight, base.y));

    // The table lists the group box first, so the controls it frames are
    // created after it and stay above it.
    for (const LoaderControl& c : LoaderControls()) {
        const QString text = ToQString(c.text);
        switch (c.kind) {
        case LoaderControlKind::GroupBox:
            place(new QGroupBox(text, this), c);
            break;
        case LoaderControlKind::Label:
            place(new QLabel(text, this), c);
            break;
        case LoaderControlKind::PathBox:
            m_pathBox = new QLineEdit(this);
            m_pathBox->setReadOnly(true);
            place(m_pathBox, c);
            break;
        case LoaderControlKind::Button:
        case LoaderControlKind::DefaultButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            button->setDefault(c.kind == LoaderControlKind::DefaultButton);
            place(button, c);
            if (c.id == IDC_BROWSE)
                connect(button, &QPushButton::clicked, this, &LoaderDialog::OnBrowse);
            else if (c.id == IDC_DOWNLOAD)
                connect(button, &QPushButton::clicked, this, &LoaderDialog::OnDownload);
            else if (c.id == IDC_GET_VERSION)
                connect(button, &QPushButton::clicked, this, &LoaderDialog::OnGetVersion);
            else if (c.id == IDC_EXIT)
                connect(button, &QPushButton::clicked, this, &QDialog::reject);
            break;
        }
        case LoaderControlKind::LogList: {
            m_logList = new QListWidget(this);
            m_logList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            m_logList->setSelectionMode(QAbstractItemView::SingleSelection);
            QPalette palette = m_logList->palette();
            palette.setColor(QPalette::Base, RgbColour(kFieldRgb));
            palette.setColor(QPalette::Text, Qt::black);
            m_logList->setPalette(palette);
            place(m_logList, c);
            break;
        }
        case LoaderControlKind::ProgressBar:
            m_progress = new QProgressBar(this);
            m_progress->setFormat(ToQString(kProgressFormat));
            m_progress->setRange(0, 1);
            m_progress->setValue(0);
            m_progress->setTextVisible(false);
            place(m_progress, c);
            break;
        }
    }
}

QStringList LoaderDialog::LogLines() const
{
    QStringList lines;
    for (int row = 0; row < m_logList->count(); ++row)
        lines << m_logList->item(row)->text();
    return lines;
}

void LoaderDialog::AppendLog(const std::string& line)
{
    m_logList->addItem(ToQString(line));
    // Select the new line to bring it into view, then let go of it.
    QListWidgetItem* item = m_logList->item(m_logList->count() - 1);
    item->setSelected(true);
    m_logList->scrollToItem(item);
    m_logList->clearSelection();
}

void LoaderDialog::ShowMessageBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, ToQString(kLoaderTitle), ToQString(text), QMessageBox::Ok, this);
    box.exec();
}

void LoaderDialog::ShowProgress(std::size_t sent, std::size_t total)
{
    if (total == 0) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_progress->setTextVisible(false);
    } else {
        // The bar counts in ints; no image that fits in memory comes near.
        const auto clamp = [](std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT_MAX)); };
        m_progress->setRange(0, clamp(total));
        m_progress->setValue(clamp(sent));
        m_progress->setTextVisible(true);
    }
}

void LoaderDialog::OnBrowse()
{
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), ToQString(kImageNameFilter));
    if (path.isEmpty())
        return;
    m_pathBox->setText(path);
    m_session->SetImagePath(QFile::encodeName(path).toStdString());
}

void LoaderDialog::OnDownload()
{
    m_session->DownloadAction();
}

void LoaderDialog::OnGetVersion()
{
    m_session->GetVersionAction();
}

void LoaderDialog::OnAbout()
{
    LoaderAbout about(this);
    about.exec();
}

void LoaderDialog::contextMenuEvent(QContextMenuEvent* event)
{
    // No system menu here: the About item the window adds to it sits in the
    // window's context menu instead.
    QMenu menu(this);
    menu.addSeparator();
    QAction* about = menu.addAction(ToQString(kAboutMenuText));
    about->setData(IDM_ABOUTBOX);
    if (menu.exec(event->globalPos()) == about)
        OnAbout();
}
