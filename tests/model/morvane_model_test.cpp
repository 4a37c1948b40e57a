#include "morvane_model.h"

#include "file_size_limit.h"
#include "golden.h"
#include "model_fixture.h"
#include "ordinary_user.h"
#include "qt_printers.h"

#include <QSettings>

#include <sys/stat.h>

namespace {

// The statuses shown, one a line, against golden/NAME.txt.
void expectStatuses(const QStringList& statuses, const QString& name) {
    expectGolden(QStringLiteral(MORVANE_MODEL_GOLDEN "/") + name + u".txt"_s,
                 statuses.join(u'\n') + u'\n');
}

TEST_F(ModelTest, one_pdf_is_converted_saved_and_summarised) {
    const QString pdf = input(u"Report.pdf"_s);
    fakes->pdf[pdf] = {u"# Results\n\nGrüße.\n"_s, u"1p · 3 lines (text 3, ocr 0 on 0p)"_s};
    runBatch({QUrl::fromLocalFile(pdf), QUrl::fromLocalFile(pdf)}); // a duplicate goes once
    EXPECT_EQ(statuses, (QStringList{u"Converting Report.pdf…"_s, u"Converted ✓"_s}));
    EXPECT_EQ(fakes->pdfCalls.size(), 1);
    const QString document = outFolder() + u"/Report.md"_s;
    EXPECT_EQ(readFile(document), QByteArray("---\ntitle: \"Report\"\nsource: Report.pdf\n"
                                             "date: 2026-03-07\nconverted_by: Morvane\n---\n\n"
                                             "# Report\n\n# Results\n\nGr\xc3\xbc\xc3\x9f"
                                             "e.\n\n")); // UTF-8, line feeds
    ASSERT_EQ(model->recents().size(), 1);
    EXPECT_EQ(model->recents()[0], (Recent{u"Report.md"_s, document}));
    EXPECT_FALSE(model->isConverting());
    EXPECT_TRUE(model->inFlight().isEmpty());
    EXPECT_TRUE(desktop.reveals.isEmpty()); // revealing is off
}

TEST_F(ModelTest, every_failure_has_its_own_words_and_the_batch_goes_on) {
    // A batch that saved nothing reveals nothing; a file in the way of the
    // output folder makes it unwritable.
    writeFile(root.filePath(u"blocker"_s), "a file, not a folder");
    model->setSettings({root.filePath(u"blocker/out"_s), true});
    const QUrl text = inputUrl(u"notes.txt"_s);
    const QUrl folder = QUrl::fromLocalFile(root.filePath(u"in/"_s));
    const QUrl missing = QUrl::fromLocalFile(root.filePath(u"gone.docx"_s));
    const QUrl latin1 = inputUrl(u"legacy.htm"_s);
    writeFile(latin1.toLocalFile(), "<p>caf\xe9</p>");
    const QUrl broken = inputUrl(u"broken.pptx"_s);
    fakes->engine[u"broken.pptx"_s] = ConvertResult::errorMessage(u"slide 3: unreadable XML"_s);
    const QUrl blank = inputUrl(u"blank.docx"_s);
    fakes->engine[u"blank.docx"_s] = engineText(u" \n\t\n "_s);
    const QUrl scan = inputUrl(u"Scan.PDF"_s);
    fakes->pdf[scan.toLocalFile()] = {u"\n"_s, u"2p · 0 lines (text 0, ocr 0 on 0p)"_s};
    const QUrl unsaved = inputUrl(u"x.docx"_s);
    fakes->engine[u"x.docx"_s] = engineText(u"body"_s);

    runBatch({text, folder, missing, latin1, broken, blank, scan, unsaved});
    expectStatuses(statuses, u"failures"_s);
    EXPECT_TRUE(desktop.reveals.isEmpty());
    EXPECT_TRUE(model->recents().isEmpty());
}

TEST_F(ModelTest, engine_gets_base64_for_binary_kinds_and_text_for_html) {
    const QUrl docx = inputUrl(u"letter.docx"_s);
    const QUrl html = inputUrl(u"page.html"_s);
    writeFile(html.toLocalFile(), "<p>Sm\xc3\xb8rrebr\xc3\xb8"
                                  "d</p>");
    fakes->engine[u"letter.docx"_s] = engineText(u"Dear all"_s, u"Letter"_s);
    fakes->engine[u"page.html"_s] = engineText(u"Smørrebrød"_s);
    runBatch({docx, html});
    ASSERT_EQ(fakes->engineCalls.size(), 2);
    EXPECT_EQ(fakes->engineCalls[0].kind, ConvertKind::docx);
    EXPECT_EQ(fakes->engineCalls[0].payload,
              QString::fromLatin1(QByteArray("input bytes").toBase64()));
    EXPECT_EQ(fakes->engineCalls[0].name, u"letter.docx");
    EXPECT_EQ(fakes->engineCalls[1].kind, ConvertKind::html);
    EXPECT_EQ(fakes->engineCalls[1].payload, u"<p>Smørrebrød</p>");
    EXPECT_EQ(model->status(), u"Converted 2 files ✓");
    // An engine title names the file; an untitled result uses the base name.
    EXPECT_TRUE(QFileInfo::exists(outFolder() + u"/Letter.md"_s));
    EXPECT_TRUE(QFileInfo::exists(outFolder() + u"/page.md"_s));
}

TEST_F(ModelTest, three_characters_are_enough_counted_as_graphemes) {
    fakes->engine[u"two.docx"_s] = engineText(u"  ab \n"_s);
    fakes->engine[u"three.docx"_s] = engineText(u"\n abc "_s);
    fakes->engine[u"accents.docx"_s] =
        engineText(u"e\u0301e\u0301"_s); // 4 code units, 2 characters
    fakes->engine[u"flags.docx"_s] = engineText(u"🇩🇰🇩🇰🇩🇰"_s);
    runBatch({inputUrl(u"two.docx"_s), inputUrl(u"three.docx"_s), inputUrl(u"accents.docx"_s),
              inputUrl(u"flags.docx"_s)});
    expectStatuses(statuses, u"graphemes"_s);
    // The saved body is the untrimmed text.
    EXPECT_TRUE(readFile(outFolder() + u"/three.md"_s).endsWith("---\n\n# three\n\n\n abc \n"));
}

TEST_F(ModelTest, an_empty_or_fully_busy_list_changes_nothing) {
    model->convertFiles({});
    EXPECT_FALSE(model->isConverting());
    EXPECT_TRUE(statuses.isEmpty());

    Gate gate;
    const QUrl pdf = inputUrl(u"slow.pdf"_s);
    fakes->gates[pdf.toLocalFile()] = &gate;
    fakes->pdf[pdf.toLocalFile()] = {u"slow text"_s, u"n"_s};
    model->convertFiles({pdf});
    EXPECT_TRUE(model->isConverting());
    EXPECT_TRUE(model->inFlight().contains(pdf.toLocalFile()));
    const QStringList before = statuses;
    model->convertFiles({pdf});
    EXPECT_EQ(statuses, before);
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded == 1; }, 5000));
    EXPECT_EQ(fakes->pdfCalls.size(), 1);
    // Once the batch is over the file can be converted again, under a new name.
    runBatch({pdf});
    EXPECT_EQ(fakes->pdfCalls.size(), 2);
    EXPECT_TRUE(QFileInfo::exists(outFolder() + u"/slow-2.md"_s));
}

TEST_F(ModelTest, overlapping_batches_keep_their_own_notes_and_the_first_end_clears_the_flag) {
    Gate slowGate;
    const QUrl slow = inputUrl(u"slow.pdf"_s);
    const QUrl fast = inputUrl(u"fast.pdf"_s);
    fakes->gates[slow.toLocalFile()] = &slowGate;
    fakes->pdf[slow.toLocalFile()] = {u""_s, u"note of slow"_s};
    fakes->pdf[fast.toLocalFile()] = {u"x"_s, u"note of fast"_s};

    model->convertFiles({slow});
    model->convertFiles({fast, slow}); // slow is already in flight
    ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded == 1; }, 5000));
    EXPECT_EQ(model->status(), u"No text found in fast.pdf [note of fast]");
    EXPECT_FALSE(model->isConverting()); // a plain flag: the first batch to end clears it
    EXPECT_TRUE(model->inFlight().contains(slow.toLocalFile()));
    EXPECT_FALSE(model->inFlight().contains(fast.toLocalFile()));

    slowGate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded == 2; }, 5000));
    EXPECT_EQ(model->status(), u"No text found in slow.pdf [note of slow]");
    EXPECT_TRUE(model->inFlight().isEmpty());
    EXPECT_EQ(fakes->pdfCalls.size(), 2);
}

TEST_F(ModelTest, a_model_destroyed_while_a_conversion_waits_ends_it_quietly) {
    Gate gate;
    fakes->gates[u"held.docx"_s] = &gate;
    fakes->engine[u"held.docx"_s] = engineText(u"Never saved."_s);
    model->convertFiles({inputUrl(u"held.docx"_s)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fakes->waitingAtGates() == 1; }, 5000));
    statuses.clear();
    model.reset(); // resumes the batch from the converters' destructor
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_EQ(batchesEnded, 0);
    EXPECT_FALSE(QFileInfo::exists(out(u"held.md"_s)));
}

TEST_F(ModelTest, reveal_uses_the_settings_at_the_end_of_the_batch) {
    Gate gate;
    const QUrl first = inputUrl(u"first.docx"_s);
    const QUrl second = inputUrl(u"second.docx"_s);
    const QUrl third = inputUrl(u"third.docx"_s);
    fakes->engine[u"first.docx"_s] = engineText(u"first body"_s);
    fakes->engine[u"second.docx"_s] = ConvertResult::errorMessage(u"bad"_s);
    fakes->engine[u"third.docx"_s] = engineText(u"third body"_s);
    fakes->gates[u"third.docx"_s] = &gate;
    model->convertFiles({first, second, third});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fakes->engineCalls.size() == 3; }, 5000));
    model->setSettings({outFolder(), true});
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded == 1; }, 5000));
    EXPECT_EQ(model->status(), u"Converted 2 files ✓");
    ASSERT_EQ(desktop.reveals.size(), 1);
    EXPECT_EQ(desktop.reveals[0], (QList<QUrl>{QUrl::fromLocalFile(outFolder() + u"/first.md"_s),
                                               QUrl::fromLocalFile(outFolder() + u"/third.md"_s)}));
}

TEST_F(ModelTest, a_full_disk_or_read_only_folder_says_couldnt_save_and_keeps_earlier_documents) {
    fakes->engine[u"small.docx"_s] = engineText(u"Small and complete."_s);
    fakes->engine[u"big.docx"_s] = engineText(QString(256 * 1024, u'w'));
    runBatch({inputUrl(u"small.docx"_s)});
    const QByteArray earlier = readFile(out(u"small.md"_s));
    ASSERT_FALSE(earlier.isEmpty());
    const QUrl big = inputUrl(u"big.docx"_s);
    {
        FileSizeLimit full(64 * 1024);
        runBatch({big});
    }
    EXPECT_EQ(model->status(), u"Couldn't save big.docx");
    expectOnlyDocument(u"small.md"_s, earlier);

    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                          QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(root.path(), readable | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(outFolder(), readable));
    statuses.clear();
    {
        OrdinaryUser user;
        runBatch({big});
    }
    QFile::setPermissions(outFolder(), readable | QFile::WriteOwner);
    EXPECT_EQ(statuses.last(), u"Couldn't save big.docx");
    expectOnlyDocument(u"small.md"_s, earlier);
}

TEST_F(ModelTest, a_picture_that_no_longer_fits_leaves_no_part_of_itself) {
    fakes->engine[u"pictures.docx"_s] =
        chart({}, QString::fromLatin1(QByteArray(200 * 1024, 'x').toBase64()));
    {
        FileSizeLimit full(64 * 1024);
        runBatch({inputUrl(u"pictures.docx"_s)});
    }
    // The document itself is whole; the picture is there entirely or not at all.
    EXPECT_TRUE(readFile(out(u"pictures.md"_s)).contains("](pictures-assets/chart.png)"));
    const QStringList assets = entries(out(u"pictures-assets"_s));
    EXPECT_TRUE(assets.isEmpty() ||
                (assets == QStringList{u"chart.png"_s} &&
                 readFile(out(u"pictures-assets/chart.png"_s)).size() == 200 * 1024))
        << assets.join(u", "_s).toStdString();
}

TEST_F(ModelTest, an_output_folder_deleted_during_a_batch_is_made_again_for_the_rest) {
    Gate gate;
    for (const QString& name : {u"one.docx"_s, u"two.docx"_s, u"three.docx"_s})
        fakes->engine[name] = engineText(u"Text of "_s + name);
    fakes->gates[u"two.docx"_s] = &gate;
    const int before = batchesEnded;
    model->convertFiles(
        {inputUrl(u"one.docx"_s), inputUrl(u"two.docx"_s), inputUrl(u"three.docx"_s)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(out(u"one.md"_s)); }, 5000));
    ASSERT_TRUE(QDir(outFolder()).removeRecursively());
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded > before; }, 5000));
    EXPECT_EQ(model->status(), u"Converted 3 files ✓");
    EXPECT_TRUE(readFile(out(u"two.md"_s)).endsWith("Text of two.docx\n"));
    EXPECT_TRUE(readFile(out(u"three.md"_s)).endsWith("Text of three.docx\n"));
}

TEST_F(ModelTest, only_regular_files_within_the_ceiling_are_read) {
    // Each would hang or never end if it were opened for reading.
    const QString pipeHtml = root.filePath(u"in/pipe.html"_s);
    const QString pipePdf = root.filePath(u"in/pipe.pdf"_s);
    QDir().mkpath(root.filePath(u"in"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipeHtml).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipePdf).constData(), 0600), 0);
    const QString zero = root.filePath(u"in/zero.docx"_s);
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, zero));
    // Sparse: as large as they say without taking the disk.
    const QString bigPdf = root.filePath(u"in/big.pdf"_s);
    const QString bigDeck = root.filePath(u"in/big.pptx"_s);
    writeFile(bigPdf, "%PDF-1.7");
    writeFile(bigDeck, "PK");
    ASSERT_TRUE(QFile::resize(bigPdf, MorvaneModel::maxPdfBytes + 1));
    ASSERT_TRUE(QFile::resize(bigDeck, MorvaneModel::maxEngineInputBytes + 1));

    runBatch({QUrl::fromLocalFile(pipeHtml), QUrl::fromLocalFile(pipePdf),
              QUrl::fromLocalFile(zero), QUrl::fromLocalFile(bigPdf),
              QUrl::fromLocalFile(bigDeck)});
    expectStatuses(statuses, u"unreadable"_s);
    EXPECT_TRUE(fakes->pdfCalls.isEmpty());
    EXPECT_TRUE(fakes->engineCalls.isEmpty());
}

TEST_F(ModelTest, a_batch_clears_only_our_stale_temporary_files) {
    const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
    auto plant = [&](const QString& name, const QDateTime& modified) {
        writeFile(out(name), "debris");
        QFile file(out(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    };
    plant(u".morvane-a1B2c3.tmp"_s, twoDaysAgo);
    plant(u"old-assets/.morvane-Zz9Yy8.tmp"_s, twoDaysAgo);
    const QStringList kept{u".morvane-fresh1.tmp"_s, u"notes/.morvane-q1w2e3.tmp"_s,
                           u".report.md.Ab12Cd"_s,   u".morvane-toolong7.tmp"_s,
                           u"morvane-a1B2c3.tmp"_s,  u".morvane-a1B2c3.tmp.keep"_s};
    for (const QString& name : kept)
        plant(name, name == kept[0] ? QDateTime::currentDateTime() : twoDaysAgo);
    ASSERT_TRUE(
        QFile::link(out(u"old-assets/.morvane-a1B2c3.tmp"_s), out(u".morvane-LINK00.tmp"_s)));

    fakes->engine[u"memo.docx"_s] = engineText(u"Memo text."_s);
    runBatch({inputUrl(u"memo.docx"_s)});
    EXPECT_FALSE(QFileInfo::exists(out(u".morvane-a1B2c3.tmp"_s)));
    EXPECT_FALSE(QFileInfo::exists(out(u"old-assets/.morvane-Zz9Yy8.tmp"_s)));
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo::exists(out(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo(out(u".morvane-LINK00.tmp"_s)).isSymLink());
}

TEST_F(ModelTest, a_corrupt_preference_store_gives_no_recents_and_is_written_afresh) {
    QSettings(u"Ombrix"_s, u"Morvane"_s)
        .setValue(u"ombrix.morvane.recents"_s, QByteArray("[{\"name\":1}]"));
    model->loadRecents();
    EXPECT_TRUE(model->recents().isEmpty());
    const QString store = QSettings(u"Ombrix"_s, u"Morvane"_s).fileName();
    writeFile(store, QByteArray("\x00\xff[ombrix]\nrecents=@ByteArray(\x01\x02\n\xfe", 31));
    model->loadRecents();
    EXPECT_TRUE(model->recents().isEmpty());
    fakes->engine[u"after.docx"_s] = engineText(u"Saved after the damage."_s);
    runBatch({inputUrl(u"after.docx"_s)});
    makeModel();
    model->loadRecents();
    ASSERT_EQ(model->recents().size(), 1);
    EXPECT_EQ(model->recents()[0].name, u"after.md"_s);
}

TEST_F(ModelTest, a_settings_folder_removed_while_running_is_made_again) {
    ModelServices services;
    services.desktop = &desktop;
    services.network = &network;
    MorvaneModel standard(std::make_unique<FakeConverters>(), std::move(services));
    const QString file = MorvaneSettings::url().toLocalFile();
    ASSERT_TRUE(QDir(QFileInfo(file).path()).removeRecursively());
    standard.setSettings({out(u"chosen"_s), false});
    EXPECT_EQ(MorvaneSettings::read(file), (MorvaneSettings{out(u"chosen"_s), false}));
}

TEST_F(ModelTest, a_pdf_layout_given_for_the_run_holds_and_is_never_stored) {
    QSettings(u"Ombrix"_s, u"Morvane"_s).setValue(u"ombrix.morvane.pdfLayout"_s, u"structured"_s);
    ModelServices services;
    services.pdfLayout = PdfLayoutChoice::plain;
    makeModel(nullptr, std::move(services));
    EXPECT_EQ(model->pdfLayout(), PdfLayoutChoice::plain);
    model->setPdfLayout(PdfLayoutChoice::structured);
    model->setPdfLayout(PdfLayoutChoice::plain);
    EXPECT_EQ(QSettings(u"Ombrix"_s, u"Morvane"_s).value(u"ombrix.morvane.pdfLayout"_s),
              u"structured"_s);
    // A PDF's pictures are saved as any document's assets.
    fakes->pdf[input(u"a.pdf"_s)] =
        PdfText{u"Enough text to keep.\n\n![Figure 1](chart.png)"_s, {}, chart().assets};
    runBatch({QUrl::fromLocalFile(input(u"a.pdf"_s))});
    EXPECT_EQ(fakes->pdfLayouts, QList<PdfLayoutChoice>{PdfLayoutChoice::plain});
    EXPECT_EQ(readFile(out(u"a-assets/chart.png"_s)), QByteArray("ABC"));
    EXPECT_TRUE(readFile(out(u"a.md"_s)).contains("![Figure 1](a-assets/chart.png)"));
}

TEST_F(ModelTest, settings_that_cannot_be_stored_still_hold_for_the_session) {
    const QString stored = root.filePath(u"settings.json"_s);
    model->setSettings({out(u"first"_s), false});
    const QByteArray before = readFile(stored);
    ASSERT_FALSE(before.isEmpty());
    {
        FileSizeLimit full(8);
        model->setSettings({out(u"second"_s), false});
    }
    EXPECT_EQ(readFile(stored), before);
    fakes->engine[u"x.docx"_s] = engineText(u"body"_s);
    runBatch({inputUrl(u"x.docx"_s)});
    EXPECT_TRUE(QFileInfo::exists(out(u"second/x.md"_s)));
}

class SavingTest : public ModelTest {
protected:
    std::optional<QUrl> save(const ConvertResult& result, const QString& fallback = u"report"_s) {
        return model->saveAndRecord(result, u"report.docx"_s, fallback);
    }
};

TEST_F(SavingTest, errors_and_empty_text_write_nothing_and_a_document_makes_its_folders) {
    const QString folder = root.filePath(u"deep/er/out"_s);
    model->setSettings({folder, false});
    EXPECT_FALSE(save(ConvertResult::errorMessage(QString())));
    EXPECT_FALSE(save(ConvertResult(u"body"_s, {}, {}, {}, u"e"_s)));
    EXPECT_FALSE(save(engineText(QString())));
    EXPECT_FALSE(QFileInfo::exists(folder) && !QDir(folder).isEmpty());
    const auto document = save(engineText(u"body"_s));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->toLocalFile(), root.filePath(u"deep/er/out/report.md"_s));
    EXPECT_FALSE(QFileInfo::exists(root.filePath(u"deep/er/out/report-assets"_s))); // no pictures
}

TEST_F(SavingTest, names_count_up_and_a_freed_name_is_reused) {
    EXPECT_EQ(save(engineText(u"1"_s))->toLocalFile(), out(u"report.md"_s));
    EXPECT_EQ(save(engineText(u"2"_s))->toLocalFile(), out(u"report-2.md"_s));
    EXPECT_EQ(save(engineText(u"3"_s))->toLocalFile(), out(u"report-3.md"_s));
    QFile::remove(out(u"report.md"_s));
    EXPECT_EQ(save(engineText(u"4"_s))->toLocalFile(), out(u"report.md"_s));
    EXPECT_TRUE(readFile(out(u"report-2.md"_s)).endsWith("\n2\n"));
    // Any name taken, by a file or a folder, numbers on with ".md".
    writeFile(out(u"notes.txt"_s), "x");
    QDir().mkpath(out(u"folder.md"_s));
    for (const auto& [taken, free] : {std::pair{u"notes.txt"_s, u"notes-2.md"_s},
                                      {u"folder.md"_s, u"folder-2.md"_s},
                                      {u"free.md"_s, u"free.md"_s}})
        EXPECT_EQ(model->uniqueURL(QUrl::fromLocalFile(out(taken))).toLocalFile(), out(free));
}

TEST_F(SavingTest, a_name_taken_by_another_process_meanwhile_is_never_overwritten) {
    auto writer = std::make_unique<ScriptedWriter>();
    writer->takeFirst = out(u"report.md"_s);
    writer->takeFolderFirst = out(u"report-2-assets"_s);
    makeModel(std::move(writer));
    const auto document = save(chart());
    ASSERT_TRUE(document);
    EXPECT_EQ(document->toLocalFile(), out(u"report-3.md"_s));
    EXPECT_EQ(readFile(out(u"report.md"_s)), QByteArray("someone else's"));
    // The folder made for the name that was lost is taken back; the other
    // process's folder is left alone.
    EXPECT_FALSE(QFileInfo::exists(out(u"report-assets"_s)));
    EXPECT_TRUE(QDir(out(u"report-2-assets"_s)).isEmpty());
    EXPECT_TRUE(readFile(out(u"report-3.md"_s)).contains("](report-3-assets/chart.png)"));
    EXPECT_EQ(readFile(out(u"report-3-assets/chart.png"_s)), QByteArray("ABC"));
}

TEST_F(SavingTest, assets_are_written_and_only_their_exact_links_rewritten) {
    const ConvertResult result(
        u"![one](a.png) ![two](b.png) [x](a.png \"t\") ![A](A.png) (a.png) ![again](a.png)"_s,
        u"Quarterly"_s, {{u"a.png"_s, u"QUJD"_s}, {u"b.png"_s, u"QU JD"_s}}, {}, std::nullopt);
    const auto document = save(result);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->toLocalFile(), out(u"Quarterly.md"_s));
    EXPECT_EQ(readFile(out(u"Quarterly-assets/a.png"_s)), QByteArray("ABC"));
    EXPECT_FALSE(QFileInfo::exists(out(u"Quarterly-assets/b.png"_s))); // blank inside: invalid
    const QByteArray text = readFile(out(u"Quarterly.md"_s));
    EXPECT_TRUE(text.contains("![one](Quarterly-assets/a.png) ![two](b.png) [x](a.png \"t\") "
                              "![A](A.png) (a.png) ![again](Quarterly-assets/a.png)"));
}

TEST_F(SavingTest, hostile_asset_names_are_skipped_and_nothing_lands_outside) {
    QList<ConvertResult::Asset> assets;
    for (const QString& name :
         {u"../escape.png"_s, u"/tmp/abs.png"_s, u"sub/x.png"_s, u"..\\win.png"_s, u".."_s, u"."_s,
          QString(), u"nul"_s + QChar(0) + u".png"_s, u"fine.png"_s})
        assets.append({name, u"QUJD"_s});
    const auto document = save(engineText(u"![](../escape.png) ![](fine.png)"_s, {}, assets));
    ASSERT_TRUE(document);
    EXPECT_EQ(entries(out(u"report-assets"_s)), QStringList{u"fine.png"_s});
    EXPECT_FALSE(QFileInfo::exists(out(u"escape.png"_s)));
    EXPECT_FALSE(QFileInfo::exists(u"/tmp/abs.png"_s));
    EXPECT_TRUE(
        readFile(out(u"report.md"_s)).contains("![](../escape.png) ![](report-assets/fine.png)"));
}

TEST_F(SavingTest, an_existing_asset_folder_of_any_kind_is_a_name_clash) {
    // A folder left by a renamed document, a file, and a symlink planted to
    // lead the pictures elsewhere.
    const QString elsewhere = root.filePath(u"elsewhere"_s);
    QDir().mkpath(elsewhere);
    writeFile(out(u"Report-assets/chart.png"_s), "earlier picture");
    writeFile(out(u"Notes-assets"_s), "a file");
    ASSERT_TRUE(QFile::link(elsewhere, out(u"Plan-assets"_s)));
    for (const QString& title : {u"Report"_s, u"Notes"_s, u"Plan"_s}) {
        const auto document = save(chart(title));
        ASSERT_TRUE(document);
        EXPECT_EQ(document->toLocalFile(), out(title + u"-2.md"_s));
        EXPECT_TRUE(
            readFile(out(title + u"-2.md"_s)).contains("](" + title.toUtf8() + "-2-assets/"));
        EXPECT_EQ(readFile(out(title + u"-2-assets/chart.png"_s)), QByteArray("ABC"));
    }
    EXPECT_EQ(readFile(out(u"Report-assets/chart.png"_s)), QByteArray("earlier picture"));
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    // A document without pictures keeps clear of such a name as well.
    EXPECT_EQ(save(engineText(u"plain"_s), u"Report"_s)->toLocalFile(), out(u"Report-3.md"_s));
}

class RecentsTest : public ModelTest {
protected:
    // Documents d1.md to dN.md, each added to the recents in turn.
    QList<QUrl> addDocuments(int count) {
        QList<QUrl> documents;
        for (int i = 1; i <= count; ++i) {
            documents.append(QUrl::fromLocalFile(out(u"d%1.md"_s.arg(i))));
            writeFile(documents.last().toLocalFile(), "x");
            model->addRecent(documents.last());
        }
        return documents;
    }
};

TEST_F(RecentsTest, are_capped_newest_first_without_duplicate_paths) {
    const QList<QUrl> documents = addDocuments(6);
    ASSERT_EQ(model->recents().size(), 5);
    EXPECT_EQ(model->recents().first().name, u"d6.md");
    EXPECT_EQ(model->recents().last().name, u"d2.md");

    model->addRecent(documents[3]);
    ASSERT_EQ(model->recents().size(), 5);
    EXPECT_EQ(model->recents().first().name, u"d4.md");
    EXPECT_EQ(model->recents().count(Recent::forDocument(documents[3])), 1);

    const auto stored = Recent::listFromJson(
        QSettings(u"Ombrix"_s, u"Morvane"_s).value(u"ombrix.morvane.recents"_s).toByteArray());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, model->recents());
}

TEST_F(RecentsTest, of_deleted_files_vanish_from_the_list_but_stay_stored_until_the_next_add) {
    const QList<QUrl> documents = addDocuments(5);
    QFile::remove(documents[0].toLocalFile());
    QFile::remove(documents[2].toLocalFile());
    makeModel();
    model->loadRecents();
    EXPECT_EQ(model->recents().size(), 3);
    QSettings preferences(u"Ombrix"_s, u"Morvane"_s);
    auto stored =
        Recent::listFromJson(preferences.value(u"ombrix.morvane.recents"_s).toByteArray());
    EXPECT_EQ(stored->size(), 5);

    const QUrl fresh = QUrl::fromLocalFile(outFolder() + u"/fresh.md"_s);
    writeFile(fresh.toLocalFile(), "x");
    model->addRecent(fresh);
    preferences.sync();
    stored = Recent::listFromJson(preferences.value(u"ombrix.morvane.recents"_s).toByteArray());
    EXPECT_EQ(stored->size(), 4);
    EXPECT_EQ(stored->first().name, u"fresh.md");
}

// A readable document is copied whole by its row's button.
TEST_F(ModelTest, copy_recent_copies_nothing_of_an_unreadable_or_missing_document) {
    writeFile(out(u"Memo.md"_s), "not utf-8 \xff");
    model->addRecent(QUrl::fromLocalFile(out(u"Memo.md"_s)));
    model->copyRecent(model->recents().first());
    QFile::remove(out(u"Memo.md"_s));
    model->copyRecent(model->recents().first());
    EXPECT_TRUE(desktop.clipboard.isEmpty());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(ModelTest, choose_folder_changes_the_next_save_and_cancel_changes_nothing) {
    desktop.nextFolder.reset();
    model->chooseFolder();
    EXPECT_EQ(model->settings().folderPath, outFolder());
    ASSERT_EQ(desktop.folderChoices.size(), 1);
    EXPECT_EQ(desktop.folderChoices[0].buttonTitle, u"Choose");
    EXPECT_EQ(desktop.folderChoices[0].message, u"Choose where converted Markdown is saved");
    EXPECT_EQ(desktop.folderChoices[0].startFolder, outFolder());
    EXPECT_EQ(desktop.activations, 1);

    desktop.nextFolder = root.filePath(u"chosen"_s);
    model->chooseFolder();
    EXPECT_EQ(model->settings(), (MorvaneSettings{root.filePath(u"chosen"_s), false}));
    EXPECT_EQ(MorvaneSettings::read(root.filePath(u"settings.json"_s)), model->settings());
    fakes->engine[u"x.docx"_s] = engineText(u"body"_s);
    runBatch({inputUrl(u"x.docx"_s)});
    EXPECT_TRUE(QFileInfo::exists(root.filePath(u"chosen/x.md"_s)));
}

} // namespace
