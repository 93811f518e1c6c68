// The ":name" parameter markers of a command text.
#include "data/ado/Command.h"

#include <QStringList>
#include <QTest>

using ado::TADOCommand;

class TestCommand : public QObject {
    Q_OBJECT
private slots:
    void parameterNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("none") << "SELECT * FROM t" << QStringList{};
        QTest::newRow("two") << "SELECT * FROM t WHERE a = :A AND b = :b_2"
                             << QStringList{"A", "b_2"};
        QTest::newRow("repeated once") << "WHERE a = :x OR b = :x" << QStringList{"x"};
        QTest::newRow("inside single quotes")
            << "WHERE a = ':no' AND b = :yes" << QStringList{"yes"};
        QTest::newRow("doubled quote stays inside")
            << "WHERE a = 'it'':s' AND b = :p" << QStringList{"p"};
        QTest::newRow("inside double quotes") << "SELECT \":no\" FROM t" << QStringList{};
        QTest::newRow("inside brackets") << "SELECT [a:b] FROM t WHERE c=:c" << QStringList{"c"};
        QTest::newRow("double colon") << "SELECT a::int, :z" << QStringList{"z"};
        QTest::newRow("bare colon") << "SELECT ': ' + x, a : b" << QStringList{};
        QTest::newRow("time literal unquoted")
            << "WAITFOR DELAY 00:00:01" << QStringList{"00", "01"};
        QTest::newRow("wide name") << "WHERE n = :名稱" << QStringList{"名稱"};
        QTest::newRow("unterminated quote") << "WHERE a = ':x" << QStringList{};
    }
    void parameterNames() {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QStringList got;
        for (const auto& n : TADOCommand::ParseParameterNames(text.toStdU16String()))
            got << QString::fromStdU16String(n);
        QCOMPARE(got, names);
    }

    void paramCheckOffCollectsNothing() {
        TADOCommand cmd;
        cmd.setCommandText(u"WHERE a = :x");
        QCOMPARE(cmd.Parameters().size(), size_t(1));
        cmd.ParamCheck = false;
        cmd.setCommandText(u"WHERE a = :x");
        QVERIFY(cmd.Parameters().empty());
        QVERIFY_THROWS_EXCEPTION(std::exception, cmd.Execute()); // no connection
    }
};

QTEST_APPLESS_MAIN(TestCommand)
#include "tst_command.moc"
