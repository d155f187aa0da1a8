// Seed corpus of the run record reader: records written by the project's own
// writer (header, data-channel chunks of several sizes).
#include "CorpusFiles.h"
#include "RunRecordWriter.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 2;
    }
    CorpusFiles corpus(argv[1]);
    RunRecordFormat::Header header;
    header.radiusPx = 35;
    header.screenWidthMm = 344.2;
    header.screenWidthPx = 1920;
    const QByteArray head = RunRecordWriter::encodeHeader(header);
    corpus.add(head);
    corpus.add(head + RunRecordWriter::encodeRecord(10, 1, "\x01\x02start"));
    corpus.add(head + RunRecordWriter::encodeRecord(10, 1, QByteArray(300, 'a')) +
               RunRecordWriter::encodeRecord(2000, 1, "end") +
               RunRecordWriter::encodeRecord(3000, 1, QByteArray()));
    return corpus.exitCode();
}
