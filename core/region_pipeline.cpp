// A file is read in regions that can be decorated apart (see readTextRegion),
// in two lanes when a second thread can be had. Each lane reads a region in
// its turn and decorates it into an output slot of its own; finished slots
// go out in the regions' order, written by whichever lane finds the next one
// ready. With more slots than lanes, a lane whose region is done before the
// one ahead of it goes on to the next region instead of waiting. The output
// is the same whatever the lanes and regions: the pieces are.
#include "core/region_pipeline.h"

#include <cstring>

#include "platform/platform.h"

namespace {

constexpr size_t REGION_CAPACITY = 128 * 1024;
constexpr int OUTPUT_SLOTS = 4; // region r decorates into slot r % OUTPUT_SLOTS

struct Lane {
    int number;
    uint64_t region; // the region it holds, counted from 0
    // The last piece it decorated, and the region it was in: the file's last
    // piece is the one of the highest region.
    int64_t lastPieceRegion;
    char lastPiece[PIECE_LENGTH + 1];
    TextEncoding encoding;     // of the region it holds
    TextEncoding lastEncoding; // of its last piece
    // It has the turn to write to the output file: every region before its
    // own is out, and no other lane writes until its region is done.
    bool holdsTurn;
    // The region from raw[1]: the byte before it, which the matcher reads at
    // a hit at a piece's start, stays zero.
    unsigned char raw[1 + REGION_CAPACITY + SHORT_COPY_LIMIT + 8];
};

struct OutputSlot {
    TextWriter writer;
    char buffer[SLOT_OUTPUT + SHORT_COPY_LIMIT];
};

struct Pipeline {
    TextRegionReader* regions;
    FILE* output;
    TextDestination formWrite; // of the output's form, on `output`
    bool writeBackEarly;
    size_t sinceWriteback; // bytes handed to formWrite since the disk was last asked
    PieceStep step;
    EncodingStep ready;
    bool encodingReady[TEXT_ENCODINGS];
    Lane lanes[PIPELINE_LANES];
    OutputSlot slots[OUTPUT_SLOTS];
    size_t regionLength; // 0 until set: REGION_CAPACITY
    // Shared by the lanes, under the platform lock.
    bool reading;                 // a lane is reading a region
    bool inputDone;               // the last region has been read
    uint64_t regionsRead;         // regions handed out so far
    uint64_t regionsDone;         // regions written out so far, in order
    bool writing;                 // a lane is writing regions out
    bool slotReady[OUTPUT_SLOTS]; // holds a region waiting to go out
};

// Too large for the stack; one conversion runs at a time. All zero at start,
// so that its megabytes cost nothing in the program file.
Pipeline pipeline;

size_t regionLength() {
    return pipeline.regionLength != 0 ? pipeline.regionLength : REGION_CAPACITY;
}

OutputSlot& slotOf(uint64_t region) {
    return pipeline.slots[region % OUTPUT_SLOTS];
}

// Writes out, in order, every region whose slot is ready, for a lane that
// holds the lock and has just set `writing`; clears it at the end.
void writeReadySlots() {
    Pipeline& p = pipeline;
    while (p.slotReady[p.regionsDone % OUTPUT_SLOTS]) {
        OutputSlot& slot = slotOf(p.regionsDone);
        platformUnlock();
        flushTextWriter(&slot.writer);
        platformLock();
        p.slotReady[p.regionsDone % OUTPUT_SLOTS] = false;
        ++p.regionsDone;
        platformWakeAll();
    }
    p.writing = false;
    platformWakeAll();
}

// Where a slot's text goes while its region is being decorated: a slot that
// fills before its region is done waits until every region before its own
// is out, and its lane takes the turn to write, which it keeps until its
// region is done.
// A large output that will replace an old file goes to the disk while the
// conversion goes on: every WRITEBACK_STEP bytes the system is asked to
// begin writing them out. Otherwise the system writes the whole output out
// when it is put in place, and frees (on some disks, discards) the old
// file's blocks in that same step, behind those writes. An output with no
// old file to replace is left to the system, which writes it after the
// program has ended.
constexpr size_t WRITEBACK_STEP = 8 << 20;

bool writeOut(void*, const char* bytes, size_t length) {
    Pipeline& p = pipeline;
    const bool ok = p.formWrite(p.output, bytes, length);
    p.sinceWriteback += length;
    if (p.writeBackEarly && p.sinceWriteback >= WRITEBACK_STEP) {
        p.sinceWriteback = 0;
        platformStartWriteback(p.output);
    }
    return ok;
}

bool writeInTurn(void* context, const char* bytes, size_t length) {
    Lane* lane = static_cast<Lane*>(context);
    if (!lane->holdsTurn) {
        platformLock();
        while (pipeline.regionsDone != lane->region || pipeline.writing) {
            platformWait();
        }
        pipeline.writing = true;
        platformUnlock();
        lane->holdsTurn = true;
    }
    return writeOut(nullptr, bytes, length);
}

void decorateRegion(Lane* lane, TextWriter* out, size_t length) {
    TextRegion region = {lane->raw + 1, length, 0, nullptr, 0, lane->encoding};
    char* piece = nullptr;
    char* last = nullptr;
    int lastLength = 0;
    for (;;) {
        const int pieceLength = nextRegionPiece(&region, &piece, PIECE_LENGTH);
        if (pieceLength == 0) {
            break;
        }
        pipeline.step(out, piece, pieceLength, lane->number, lane->encoding);
        last = piece;
        lastLength = pieceLength;
    }
    if (last != nullptr) {
        // The call that found the end gave the byte after the piece back.
        std::memcpy(lane->lastPiece, last, static_cast<size_t>(lastLength));
        lane->lastPiece[lastLength] = 0;
        lane->lastPieceRegion = static_cast<int64_t>(lane->region);
        lane->lastEncoding = lane->encoding;
    }
}

void runLane(void* context) {
    Pipeline& p = pipeline;
    Lane* lane = static_cast<Lane*>(context);
    for (;;) {
        platformLock();
        while (p.reading) {
            platformWait();
        }
        if (p.inputDone) {
            platformUnlock();
            return;
        }
        p.reading = true;
        lane->region = p.regionsRead++;
        platformUnlock();

        bool last = false;
        const size_t length =
            readTextRegion(p.regions, lane->raw + 1, regionLength(), PIECE_LENGTH, &last);
        // Still this lane's turn to read: the other lane cannot be readying
        // an encoding, only decorating pieces of one already ready.
        lane->encoding = p.regions->encoding;
        if (!p.encodingReady[lane->encoding]) {
            p.ready(lane->encoding);
            p.encodingReady[lane->encoding] = true;
        }
        platformLock();
        p.reading = false;
        p.inputDone = last;
        platformWakeAll();
        // The slot is free once the region that used it before is out.
        while (p.regionsDone + OUTPUT_SLOTS <= lane->region) {
            platformWait();
        }
        platformUnlock();

        TextWriter* out = &slotOf(lane->region).writer;
        lane->holdsTurn = false;
        sendTextTo(out, writeInTurn, lane);
        decorateRegion(lane, out, length);
        // Whoever writes the slot out from here writes it straight away.
        sendTextTo(out, writeOut, nullptr);
        if (lane->holdsTurn) {
            // Its turn came while it decorated: the rest goes out now.
            flushTextWriter(out);
            platformLock();
            ++p.regionsDone;
        } else {
            platformLock();
            p.slotReady[lane->region % OUTPUT_SLOTS] = true;
            if (p.writing) {
                platformUnlock(); // the lane writing will find it
                continue;
            }
            p.writing = true;
        }
        writeReadySlots();
        platformUnlock();
    }
}

} // namespace

void setPipelineRegionLength(size_t length) {
    const size_t least = 2 * PIECE_LENGTH + 2;
    pipeline.regionLength = length < least             ? least
                            : length > REGION_CAPACITY ? REGION_CAPACITY
                                                       : length;
}

void runRegionPipeline(TextRegionReader* regions, const PipelineOutput& output, int64_t inputSize,
                       PieceStep step, EncodingStep ready, bool twoLanes, size_t slotCapacity,
                       PipelineResult* result) {
    Pipeline& p = pipeline;
    p.regions = regions;
    p.output = output.file;
    p.formWrite = destinationFor(output.form);
    p.writeBackEarly = output.writeBackEarly;
    p.sinceWriteback = 0;
    p.step = step;
    p.ready = ready;
    for (bool& done : p.encodingReady) {
        done = false;
    }
    p.reading = false;
    p.inputDone = false;
    p.regionsRead = 0;
    p.regionsDone = 0;
    p.writing = false;
    for (int i = 0; i < OUTPUT_SLOTS; ++i) {
        p.slotReady[i] = false;
        attachTextWriter(&p.slots[i].writer, output.file);
        p.slots[i].writer.wholeCharacters = output.form != OUTPUT_BYTES;
        useTextWriterBuffer(&p.slots[i].writer, p.slots[i].buffer,
                            slotCapacity < SLOT_OUTPUT ? slotCapacity : SLOT_OUTPUT);
    }
    for (int i = 0; i < PIPELINE_LANES; ++i) {
        p.lanes[i].number = i;
        p.lanes[i].lastPieceRegion = -1;
    }
    // A second lane only pays for itself with a region for each.
    const bool second = twoLanes &&
                        (inputSize < 0 || static_cast<uint64_t>(inputSize) > regionLength()) &&
                        platformStartThread(runLane, &p.lanes[1]);
    runLane(&p.lanes[0]);
    if (second) {
        platformJoinThread();
    }

    result->writeOk = true;
    for (const OutputSlot& slot : p.slots) {
        result->writeOk = !slot.writer.failed && result->writeOk;
    }
    const Lane* lastLane = nullptr;
    for (const Lane& lane : p.lanes) {
        if (lane.lastPieceRegion >= 0 &&
            (lastLane == nullptr || lane.lastPieceRegion > lastLane->lastPieceRegion)) {
            lastLane = &lane;
        }
    }
    result->anyPiece = lastLane != nullptr;
    result->lastPiece[0] = 0;
    result->lastEncoding = TEXT_CP932;
    if (lastLane != nullptr) {
        std::memcpy(result->lastPiece, lastLane->lastPiece, sizeof result->lastPiece);
        result->lastEncoding = lastLane->lastEncoding;
    }
}
