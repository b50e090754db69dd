// Writes the application icon for the desktop's icon theme, one PNG per size the artwork
// draws: orvanta_icongen <folder> gives <folder>/<N>x<N>/apps/com.orvanta.Orvanta.png.
#include "res/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon theme folder>\n", argv[0]);
        return 2;
    }
    // Drawing needs a GUI application, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    for (int size : orvanta::res::kAppIconSizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = theme.filePath(folder + QStringLiteral("/com.orvanta.Orvanta.png"));
        if (!theme.mkpath(folder) || !orvanta::res::DrawAppIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
