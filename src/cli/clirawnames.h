#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// File names exactly as the file system spells them. Linux names are bytes; one that is not
// valid text in the user's encoding (an archive copied from an old Windows disk, say) cannot
// survive decoding into a QString, and would be reported missing or written under another
// name. Such an argument that names an existing file is used through its open descriptor
// (/proc/self/fd/N); one given to -o is written under a stand-in name in its folder, which
// takes the name given at finish().
class CliRawNames
{
public:
    CliRawNames() = default;
    ~CliRawNames(); // removes the stand-in unless finished
    CliRawNames(const CliRawNames &) = delete;
    CliRawNames &operator=(const CliRawNames &) = delete;

    // The arguments without the program name. Throws MetrolaError when the folder of such an
    // output cannot be opened, or its name holds anything but a regular file, or the same
    // file as another argument.
    QStringList decode(int argc, char **argv);
    // Renames the output written under its stand-in to the name given; nothing to do when no
    // output needed one. Throws MetrolaError.
    void finish();

    // Whether the bytes come back unchanged from decoding and encoding again.
    static bool survivesDecoding(const QByteArray &name);

private:
    QString openThroughDescriptor(const QByteArray &name);
    QString standInFor(int index, int argc, char **argv);

    int m_outputDir = -1;
    QByteArray m_standIn;  // in m_outputDir
    QByteArray m_target;   // in m_outputDir
    QString m_shownTarget; // for messages
    std::vector<int> m_descriptors;
};
