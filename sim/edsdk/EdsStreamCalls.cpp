// The stand-in's stream entry points: file and memory streams, reading, writing, progress.
#include "EdsCall.h"

using namespace tbx::sim;
using namespace tbx::sim::eds;

// -------------------------------------------------------------------------------------------------
// Streams
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateFileStream(const EdsChar *inFileName, EdsFileCreateDisposition inCreateDisposition,
                           EdsAccess inDesiredAccess, EdsStreamRef *outStream)
{
    Call call("EdsCreateFileStream");
    call.args().str(inFileName).dec(inCreateDisposition).dec(inDesiredAccess).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inFileName == nullptr || outStream == nullptr)
            return kInvalidPointer;
        *outStream = nullptr;
        if (*inFileName == 0)
            return kInvalidParameter;
        return openFile(library(), inFileName, nullptr, inCreateDisposition, inDesiredAccess, outStream);
    });
}

EDSAPI EdsCreateFileStreamEx(const EdsWChar *inFileName, EdsFileCreateDisposition inCreateDisposition,
                             EdsAccess inDesiredAccess, EdsStreamRef *outStream)
{
    Call call("EdsCreateFileStreamEx");
    const std::string name = inFileName ? utf8Of(inFileName) : std::string();
    call.args().str(inFileName ? name.c_str() : nullptr).dec(inCreateDisposition).dec(inDesiredAccess).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inFileName == nullptr || outStream == nullptr)
            return kInvalidPointer;
        *outStream = nullptr;
        if (*inFileName == 0)
            return kInvalidParameter;
        return openFile(library(), name, inFileName, inCreateDisposition, inDesiredAccess, outStream);
    });
}

EDSAPI EdsCreateMemoryStream(EdsUInt64 inBufferSize, EdsStreamRef *outStream)
{
    Call call("EdsCreateMemoryStream");
    call.args().udec(inBufferSize).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (outStream == nullptr)
            return kInvalidPointer;
        *outStream = nullptr;
        if (inBufferSize > (1ull << 31))
            return kMemAllocFailed;
        auto *stream = new StreamObject;
        stream->memory.reserve(static_cast<std::size_t>(inBufferSize));
        return newStream(library(), stream, outStream);
    });
}

EDSAPI EdsCreateMemoryStreamFromPointer(EdsVoid *inUserBuffer, EdsUInt64 inBufferSize, EdsStreamRef *outStream)
{
    Call call("EdsCreateMemoryStreamFromPointer");
    call.args().ptr(inUserBuffer, "buffer").udec(inBufferSize).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inUserBuffer == nullptr || outStream == nullptr)
            return kInvalidPointer;
        *outStream = nullptr;
        if (inBufferSize == 0)
            return kInvalidLength;
        auto *stream = new StreamObject;
        stream->type = StreamObject::Type::Fixed;
        stream->fixed = static_cast<std::uint8_t *>(inUserBuffer);
        stream->fixedSize = inBufferSize;
        return newStream(library(), stream, outStream);
    });
}

extern "C" TBX_EDS_EXPORT EdsError TBX_EDS_CALL EdsCreateStream(EdsIStream *inStream, EdsStreamRef *outStreamRef)
{
    Call call("EdsCreateStream");
    call.args().ptr(inStream, "stream").ptr(outStreamRef);
    return call.run([&]() -> EdsError {
        if (inStream == nullptr || outStreamRef == nullptr)
            return kInvalidPointer;
        *outStreamRef = nullptr;
        if (!inStream->read || !inStream->write || !inStream->seek || !inStream->tell || !inStream->getLength)
            return kInvalidPointer;
        auto *stream = new StreamObject;
        stream->type = StreamObject::Type::User;
        stream->user = *inStream;
        return newStream(library(), stream, outStreamRef);
    });
}

EDSAPI EdsGetPointer(EdsStreamRef inStream, EdsVoid **outPointer)
{
    Call call("EdsGetPointer");
    call.ref(inStream).ptr(outPointer);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStream, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outPointer == nullptr)
            return kInvalidPointer;
        if (stream->type == StreamObject::Type::Memory) {
            *outPointer = stream->memory.data();
            return kOk;
        }
        if (stream->type == StreamObject::Type::Fixed) {
            *outPointer = stream->fixed;
            return kOk;
        }
        *outPointer = nullptr;
        return kNotSupported;
    });
}

EDSAPI EdsRead(EdsStreamRef inStreamRef, EdsUInt64 inReadSize, EdsVoid *outBuffer, EdsUInt64 *outReadSize)
{
    Call call("EdsRead");
    call.ref(inStreamRef).args().udec(inReadSize).ptr(outBuffer, "buffer").ptr(outReadSize);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outReadSize == nullptr || (outBuffer == nullptr && inReadSize > 0))
            return kInvalidPointer;
        return stream->read(outBuffer, inReadSize, outReadSize);
    });
}

EDSAPI EdsWrite(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, const EdsVoid *inBuffer, EdsUInt64 *outWrittenSize)
{
    Call call("EdsWrite");
    call.ref(inStreamRef).args().udec(inWriteSize).ptr(inBuffer, "buffer").ptr(outWrittenSize);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outWrittenSize == nullptr || (inBuffer == nullptr && inWriteSize > 0))
            return kInvalidPointer;
        return stream->write(inBuffer, inWriteSize, outWrittenSize);
    });
}

EDSAPI EdsSeek(EdsStreamRef inStreamRef, EdsInt64 inSeekOffset, EdsSeekOrigin inSeekOrigin)
{
    Call call("EdsSeek");
    call.ref(inStreamRef).args().dec(inSeekOffset).dec(inSeekOrigin);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        return stream->seek(inSeekOffset, inSeekOrigin);
    });
}

EDSAPI EdsGetPosition(EdsStreamRef inStreamRef, EdsUInt64 *outPosition)
{
    Call call("EdsGetPosition");
    call.ref(inStreamRef).ptr(outPosition);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outPosition == nullptr)
            return kInvalidPointer;
        if (stream->type == StreamObject::Type::User) {
            EdsInt32 position = 0;
            const EdsError e = stream->user.tell(stream->user.context, &position);
            *outPosition = position < 0 ? 0 : static_cast<EdsUInt64>(position);
            return e;
        }
        *outPosition = stream->position;
        return kOk;
    });
}

EDSAPI EdsGetLength(EdsStreamRef inStreamRef, EdsUInt64 *outLength)
{
    Call call("EdsGetLength");
    call.ref(inStreamRef).ptr(outLength);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outLength == nullptr)
            return kInvalidPointer;
        return stream->length(outLength);
    });
}

EDSAPI EdsCopyData(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, EdsStreamRef outStreamRef)
{
    Call call("EdsCopyData");
    call.ref(inStreamRef).args().udec(inWriteSize);
    call.ref(outStreamRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *from = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        auto *to = lib.as<StreamObject>(outStreamRef, Kind::Stream);
        if (from == nullptr || to == nullptr)
            return kInvalidHandle;
        StreamObject *reporter = from->progress ? from : to->progress ? to : nullptr;
        std::vector<std::uint8_t> buffer(64 * 1024);
        std::uint64_t done = 0;
        while (done < inWriteSize) {
            std::uint64_t got = 0;
            EdsError e = from->read(buffer.data(), std::min<std::uint64_t>(buffer.size(), inWriteSize - done), &got);
            if (e != kOk)
                return e;
            if (got == 0)
                return kStreamEndOfStream;
            std::uint64_t put = 0;
            e = to->write(buffer.data(), got, &put);
            if (e != kOk)
                return e;
            done += got;
            if (reporter && reporter->progressOption == 2 && done < inWriteSize) {
                EdsBool cancel = 0;
                reporter->progress(static_cast<EdsUInt32>(done * 100 / inWriteSize), reporter->progressContext,
                                   &cancel);
                if (cancel)
                    return kOperationCancelled;
            }
        }
        if (reporter && reporter->progressOption != 0) {
            EdsBool cancel = 0;
            reporter->progress(100, reporter->progressContext, &cancel);
        }
        return kOk;
    });
}

EDSAPI EdsSetProgressCallback(EdsBaseRef inRef, EdsProgressCallback inProgressFunc, EdsProgressOption inProgressOption,
                              EdsVoid *inContext)
{
    Call call("EdsSetProgressCallback");
    call.ref(inRef)
        .args()
        .ptr(reinterpret_cast<const void *>(inProgressFunc), "fn")
        .dec(inProgressOption)
        .ptr(inContext, "ctx");
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr)
            return kInvalidHandle;
        if (inProgressOption < 0 || inProgressOption > 2)
            return kInvalidParameter;
        if (inProgressFunc == nullptr && inProgressOption != 0)
            return kInvalidPointer;
        StreamObject *stream = o->kind == Kind::Stream  ? static_cast<StreamObject *>(o)
                               : o->kind == Kind::Image ? static_cast<ImageObject *>(o)->stream
                                                        : nullptr;
        if (stream == nullptr)
            return kNotSupported;
        stream->progress = inProgressFunc;
        stream->progressOption = inProgressOption;
        stream->progressContext = inContext;
        return kOk;
    });
}
