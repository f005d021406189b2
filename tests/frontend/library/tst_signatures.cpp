// Detached minisign signatures, made by minisign itself (tests/data/signing),
// checked as the library checks them before a file reaches the board: a
// signed file is accepted with its key's name, a changed file, another
// file's signature, an untrusted key and a damaged signature are refused,
// each with its reason.
#include "firmware/imagecheck.h"
#include "frontend/library/minisign.h"
#include "frontend/library/signaturecheck.h"
#include "frontend/library/trustedkeys.h"
#include "libraryfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace frontend;
using records::SignatureState;

Q_DECLARE_METATYPE(records::SignatureState)

namespace {

// The key id minisign printed into the public key's comment line.
QString printedKeyId(const QString &pubFile)
{
    const QByteArray first = readAll(pubFile).split('\n').constFirst();
    return QString::fromLatin1(first.mid(first.lastIndexOf(' ') + 1));
}

} // namespace

class TstSignatures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TrustedKeys m_acme; // acme-service trusted, intruder not

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(m_dir.filePath("keys/acme-service.pub"),
                          readAll(signingFile("acme-service.pub"))));
        m_acme = TrustedKeys::load({{m_dir.filePath("keys"), TrustedKey::Source::User}});
        QCOMPARE(m_acme.keys().size(), 1);
    }

    void signedFileAccepted_data()
    {
        QTest::addColumn<QString>("signature");
        QTest::addColumn<bool>("dated");
        QTest::newRow("prehashed (minisign's default)") << "ih-lf.hex.sig" << true;
        QTest::newRow("legacy") << "ih-lf.hex.legacy.sig" << false;
    }
    void signedFileAccepted()
    {
        QFETCH(QString, signature);
        QFETCH(bool, dated);
        const QByteArray file = readAll(corpusFile("ih-lf.hex"));
        const SignatureCheck check =
            SignatureCheck::checkText(readAll(signingFile(signature)), file, m_acme);
        QCOMPARE(check.state, SignatureState::Signed);
        QVERIFY(check.isSigned());
        QCOMPARE(check.keyName, QStringLiteral("acme-service"));
        // The id as minisign shows it, so a user can match the two.
        QCOMPARE(check.keyId, printedKeyId(signingFile("acme-service.pub")));
        QCOMPARE(check.signedFile, QStringLiteral("ih-lf.hex"));
        if (dated)
            QCOMPARE(check.signedAt, QDateTime::fromSecsSinceEpoch(1709632800));
        QCOMPARE(check.shortText(), QStringLiteral("signed by acme-service"));
        QVERIFY(check.infoLine().startsWith("Signature: signed by acme-service (key "));
        QVERIFY(check.reason().isEmpty());
    }

    void verdicts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("signatureText");
        QTest::addColumn<SignatureState>("state");
        QTest::addColumn<QString>("reason");
        const QByteArray good = readAll(corpusFile("ih-lf.hex"));
        const QByteArray sig = readAll(signingFile("ih-lf.hex.sig"));
        QList<QByteArray> lines = sig.split('\n');

        QTest::newRow("tampered file")
            << tampered(good) << sig << SignatureState::OtherFile
            << "its signature is for another file (ih-lf.hex), or the file was changed after "
               "signing";
        QTest::newRow("legacy, tampered")
            << tampered(good) << readAll(signingFile("ih-lf.hex.legacy.sig"))
            << SignatureState::OtherFile << "";
        QTest::newRow("another file's signature")
            << good << readAll(signingFile("srec-i16.hex.sig")) << SignatureState::OtherFile
            << "its signature is for another file (srec-i16.hex), or the file was changed after "
               "signing";
        QTest::newRow("untrusted key")
            << good << readAll(signingFile("ih-lf.hex.intruder.sig"))
            << SignatureState::UntrustedKey
            << QStringLiteral("it is signed with key %1, which is not a trusted key")
                   .arg(printedKeyId(signingFile("intruder.pub")));

        QList<QByteArray> comment = lines;
        comment[2] = "trusted comment: timestamp:1709632800\tfile:other.hex\thashed";
        QTest::newRow("trusted comment changed")
            << good << comment.join('\n') << SignatureState::Damaged
            << "its signature file is damaged";
        QList<QByteArray> flipped = lines;
        QByteArray raw = QByteArray::fromBase64(flipped.at(1));
        raw[20] = char(raw.at(20) ^ 0x40);
        flipped[1] = raw.toBase64();
        QTest::newRow("signature bytes changed")
            << good << flipped.join('\n') << SignatureState::Damaged << "";
        QList<QByteArray> badBase64 = lines;
        badBase64[1].replace(10, 1, "!");
        QTest::newRow("not base64")
            << good << badBase64.join('\n') << SignatureState::Damaged << "";
        QTest::newRow("cut off") << good << sig.left(sig.size() / 2) << SignatureState::Damaged
                                 << "";
        QTest::newRow("empty") << good << QByteArray() << SignatureState::Damaged << "";
        QTest::newRow("a public key instead")
            << good << readAll(signingFile("acme-service.pub")) << SignatureState::Damaged << "";
        QList<QByteArray> algorithm = lines;
        QByteArray alg = QByteArray::fromBase64(algorithm.at(1));
        alg[1] = 'X';
        algorithm[1] = alg.toBase64();
        QTest::newRow("unknown algorithm")
            << good << algorithm.join('\n') << SignatureState::Damaged << "";
        QTest::newRow("CR LF line ends accepted")
            << good << QByteArray(sig).replace("\n", "\r\n") << SignatureState::Signed << "";
    }
    void verdicts()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, signatureText);
        QFETCH(SignatureState, state);
        QFETCH(QString, reason);
        const SignatureCheck check = SignatureCheck::checkText(signatureText, file, m_acme);
        QCOMPARE(check.state, state);
        if (!reason.isEmpty())
            QCOMPARE(check.reason(), reason);
        if (state != SignatureState::Signed) {
            QVERIFY(!check.isSigned());
            QVERIFY(check.keyName.isEmpty());
            QVERIFY(check.infoLine().startsWith("Signature refused: "));
            QVERIFY(check.refusal().contains("only files signed with a trusted key"));
        }
    }

    // The tampered file is still a sound HEX file: only the signature tells.
    void tamperingPassesTheHexCheck()
    {
        const QByteArray changed = tampered(readAll(corpusFile("ih-lf.hex")));
        QVERIFY(changed != readAll(corpusFile("ih-lf.hex")));
        protocol::BoardLayout layout;
        layout.startFlash = 0;
        layout.startProgr = 0x800;
        layout.sizeFlash = 8;
        layout.sizeProgr = 6;
        layout.idPosition = 1;
        QVERIFY(hexfile::inspectImage(changed, layout, 0x1234).ok());
    }

    // The signature beside the file on disk: none, one (under either name), and ones that are no
    // signature file at all; a named pipe there does not hang the check.
    void signatureBesideTheFile()
    {
        const QString hex = m_dir.filePath("beside/ih-lf.hex");
        const QByteArray bytes = readAll(corpusFile("ih-lf.hex"));
        QVERIFY(writeFile(hex, bytes));
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).state, SignatureState::Unsigned);
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).infoLine(),
                 QStringLiteral("Signature: none (unsigned)"));
        QVERIFY(writeFile(hex + ".sig", readAll(signingFile("ih-lf.hex.sig"))));
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).state, SignatureState::Signed);
        // minisign's own default name, when signed without -x
        QVERIFY(QFile::rename(hex + ".sig", hex + ".minisig"));
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).state, SignatureState::Signed);
        QVERIFY(QFile::remove(hex + ".minisig"));

        QCOMPARE(::mkfifo(QFile::encodeName(hex + ".sig").constData(), 0600), 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).state, SignatureState::Damaged);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(QFile::remove(hex + ".sig"));
        QVERIFY(writeFile(hex + ".sig", QByteArray(minisign::kMaxSignatureFileBytes + 1, 'A')));
        QCOMPARE(SignatureCheck::check(hex, bytes, m_acme).state, SignatureState::Damaged);
    }

    // Keys from both folders, named by their files; what is no key is
    // skipped and named.
    void trustedKeyFolders()
    {
        const QString system = m_dir.filePath("system");
        const QString user = m_dir.filePath("user");
        QVERIFY(writeFile(system + "/acme-service.pub", readAll(signingFile("acme-service.pub"))));
        QVERIFY(writeFile(user + "/workshop.pub", readAll(signingFile("intruder.pub"))));
        QVERIFY(writeFile(user + "/broken.pub", "untrusted comment: x\nnot base64 at all\n"));
        QVERIFY(writeFile(user + "/secret.pub", readAll(signingFile("acme-service.key"))));
        QVERIFY(writeFile(user + "/notes.txt", "not a key file name"));
        const TrustedKeys keys = TrustedKeys::load(
            {{system, TrustedKey::Source::System}, {user, TrustedKey::Source::User}});
        QCOMPARE(keys.keys().size(), 2);
        QCOMPARE(keys.keys().at(0).name, QStringLiteral("acme-service"));
        QCOMPARE(keys.keys().at(0).source, TrustedKey::Source::System);
        QCOMPARE(keys.keys().at(1).name, QStringLiteral("workshop"));
        QCOMPARE(keys.problems().size(), 2);
        QVERIFY(keys.problems().at(0).contains("broken.pub"));
        QVERIFY(keys.problems().at(1).contains("secret.pub"));

        // The user's key signs under the user's name for it.
        const SignatureCheck check = SignatureCheck::checkText(
            readAll(signingFile("ih-lf.hex.intruder.sig")), readAll(corpusFile("ih-lf.hex")), keys);
        QCOMPARE(check.state, SignatureState::Signed);
        QCOMPARE(check.keyName, QStringLiteral("workshop"));
        QVERIFY(keys.fingerprint() != m_acme.fingerprint());
        QVERIFY(TrustedKeys::load({{m_dir.filePath("none"), TrustedKey::Source::User}})
                    .keys()
                    .isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstSignatures)
#include "tst_signatures.moc"
