// SPDX-License-Identifier: Apache-2.0
#include "shell/AboutUnit.h"

#include "shell/ShellTexts.h"
#include "toolkit/ZQXZoomBitBtn.h"

#include "ProgramArt.h"
#include "WindowFonts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPixmap>

namespace ostrel {

namespace {

QLabel* noticeLabel(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

QString aboutHelpText()
{
    return QStringLiteral(
        "Ostrel Program\n"
        "\n"
        "Ostrel encodes files into images by steganography: the art of hiding information in plain sight, so that "
        "a casual observer looking at the picture cannot tell that anything is hidden in it. The hidden information "
        "is also encrypted with a key made from your password, which makes statistical analysis and decoding harder "
        "for anyone who is not meant to read it.\n"
        "\n"
        "WARNING: the random-number generators that scramble the hidden data may change from one release to the "
        "next. Keep a copy of every release you encode with, so that you can still decode older files.\n"
        "\n"
        "ENCODING\n"
        "Open a carrier picture with File, Open (BMP, JPG, GIF and some less common formats). Choose Steganography, "
        "Encode and pick the file to hide; it may be of any type. Type a password. When the picture has more than "
        "128 distinct colours, you are asked whether to reduce its colour depth, so that the result can be saved as "
        "a GIF or as a 4-bit or 8-bit BMP, and then whether to dither the picture to the new palette or to let it "
        "posterize. An error message is shown when the file to hide cannot be found or, more often, when it is too "
        "large for the picture: the line above the picture tells roughly how many bytes fit. Then save the picture "
        "with File, Save As: as a GIF or an 8-bit BMP only when it has at most 256 colours, as a 4-bit BMP only "
        "with at most 16, and otherwise as a 24-bit BMP. These keep every pixel exactly, so the hidden data "
        "survives saving.\n"
        "\n"
        "DECODING\n"
        "Load the picture, choose Steganography, Decode and type the same password. When the picture holds no "
        "hidden file, or the password is wrong, nothing is decoded and an error message is shown. Otherwise the "
        "hidden file is stored, under the name it had when it was encoded, in the STEGANOGRAPHY folder of the "
        "program's data folder tree. The tree lies in your data folder (normally ~/.local/share/ostrel/DATA) or, "
        "when it cannot be made there, in the temporary folder.\n"
        "\n"
        "OPTIONS\n"
        "Carrier pictures can come from files, from the clipboard (Edit, Paste) or from the web. File, Open from "
        "Web asks for the complete address of a picture file, such as http://www.example.com/picture.gif; the file "
        "is downloaded into the WEB folder of the data folder tree and loaded. A picture file dropped on the window "
        "is opened as File, Open would open it.\n"
        "\n"
        "VERSIONS\n"
        "\t1.0\tFirst release, with a workable but poorly distributed palette generator.\n"
        "\t1.1\tPalette generator reworked with an octree queue.\n"
        "\t1.2\tPalette generator completed; Tools menu with picture analysis added.\n"
        "\t1.3\tRebuilt with an updated palette generator, print dialogs, web fetching and new file input and "
        "output code, with minor fixes.\n");
}

TForm_About::TForm_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_About"));
    setWindowTitle(QStringLiteral("About ") + kProgramCaption);
    setFont(boldPixelFont(QStringLiteral("MS Sans Serif"), 13));
    setFixedSize(392, 246);

    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap::fromImage(drawAboutPicture()));
    Image1->setGeometry(8, 8, 70, 59);

    Image2 = new QLabel(this);
    Image2->setPixmap(QPixmap::fromImage(drawProgramIcon(64)));
    Image2->setScaledContents(true);
    Image2->setGeometry(11, 75, 64, 64);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(88, 8, 297, 153);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(boldPixelFont(QStringLiteral("MS Sans Serif"), 11));
    Memo1->setTabStopDistance(4 * Memo1->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, memoColours.color(QPalette::Button));
    Memo1->setPalette(memoColours);
    Memo1->setPlainText(aboutHelpText());
    Memo1->setAccessibleName(QStringLiteral("Help text"));

    Label1 = noticeLabel(this, QStringLiteral("Hidden data survives only in pictures saved as BMP or GIF."),
                         QRect(8, 168, 377, 25));
    Label2 = noticeLabel(this, QStringLiteral("This program is provided as is, without warranty of any kind."),
                         QRect(96, 208, 289, 33));
    Label2->setFont(boldPixelFont(QStringLiteral("MS Sans Serif"), 11));

    BitBtn1 = new TZQXZoomBitBtn(this);
    BitBtn1->setText(QStringLiteral("OK"));
    BitBtn1->setResource(BMP_Check);
    BitBtn1->setGeometry(8, 208, 81, 33);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace ostrel
