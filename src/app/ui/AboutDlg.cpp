#include "app/ui/AboutDlg.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/ui/Artwork.h"
#include "store/TextFormat.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#ifndef V740_VERSION
#define V740_VERSION "0.0.0"
#endif

QString CAboutDlg::ProductVersion() {
    return QStringLiteral(V740_VERSION);
}

CAboutDlg::CAboutDlg(CVELMOR740PCRemoteDoc& doc, QWidget* parent) : QDialog(parent) {
    setWindowTitle(doc.Text(50008, QStringLiteral("About VELMOR - Roziraz Uvurad")));
    auto* logo = new QLabel(this);
    logo->setPixmap(Artwork::Bitmap(QStringLiteral("IDB_KESTRA")));
    logo->setAlignment(Qt::AlignTop);

    auto* product = new QLabel(QStringLiteral("<b>VELMOR 740ST - Roziraz Uvurad</b>"), this);
    auto* version =
        new QLabel(FormatText(doc.Text(60007, QStringLiteral("Version %s")), ProductVersion()), this);
    version->setObjectName(QStringLiteral("version"));
    auto* folder =
        new QLabel(FormatText(doc.Text(50063, QStringLiteral("Data folder: %s")), doc.DataFolder()), this);
    folder->setObjectName(QStringLiteral("dataFolder"));
    folder->setTextFormat(Qt::PlainText);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder->setWordWrap(true);

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(version);
    text->addWidget(folder);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addLayout(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}
