#include "actions/messages.h"

#include "core/texts.h"

namespace {

// DevIL's "unable to open file" code, shown when the file cannot be read at all.
constexpr unsigned kUnableToOpenFile = 0x050A;

} // namespace

std::string decodeFailureText(const DecodeOutcome& o) {
    auto size = [&] {
        std::string s =
            std::to_string(o.header.width) + " x " + std::to_string(o.header.height) + " pixels";
        if (o.header.frames > 1) s += ", " + std::to_string(o.header.frames) + " frames";
        return s;
    };
    switch (o.status) {
    case DecodeStatus::Ok:
    case DecodeStatus::Cancelled: // the user asked for it: the caller says "Cancelled"
        return {};
    case DecodeStatus::Unreadable:
        return "Unable to open the image file.";
    case DecodeStatus::DevilError:
    case DecodeStatus::CopyFailed:
        return devilErrorText(o.devilError);
    case DecodeStatus::OutOfMemory:
        return kOutOfMemoryText;
    case DecodeStatus::ChildFailed:
        return "This image file could not be decoded; it is damaged or not a picture this "
               "program can read.";
    case DecodeStatus::Refused:
        break;
    }
    switch (o.verdict) {
    case HeaderVerdict::NotAnImage:
        return "This file is not a PNG, JPEG, GIF, TIFF, BMP or PSD picture.";
    case HeaderVerdict::Damaged:
        return "The header of this image file is damaged.";
    case HeaderVerdict::Empty:
        return "This picture has no pixels (" + size() + ").";
    case HeaderVerdict::TooLarge:
        return "This picture is too large to load (" + size() +
               ").\r\nPlease reduce the resolution of the image.";
    case HeaderVerdict::BmpAlpha:
        return "This BMP picture has transparency, which cannot be read from a BMP "
               "file.\r\nPlease save it as PNG.";
    case HeaderVerdict::CmykJpeg:
        return "This JPEG picture is stored in CMYK colours, which cannot be loaded "
               "correctly.\r\nPlease save it in RGB colours.";
    case HeaderVerdict::Ok:
        break;
    }
    return {};
}

std::vector<UserMessage> loadFailureMessages(const TextTable& texts, const LoadOutcome& outcome) {
    const std::string& title = text(texts, kTextProgramName);
    const DecodeOutcome& d = outcome.decode;
    switch (outcome.problem) {
    case LoadProblem::NotRegular:
        return {{MessageIcon::Error, title,
                 outcome.path + "\r\nis not a regular file; only image files can be opened"}};
    case LoadProblem::TooLarge:
        return {{MessageIcon::Error, title,
                 outcome.path + "\r\nis larger than " + std::to_string(outcome.limitBytes >> 20) +
                     " MB, more than an image may have"}};
    case LoadProblem::Undecodable:
        if (d.status == DecodeStatus::CopyFailed) {
            std::vector<UserMessage> out = {
                {MessageIcon::Exclamation, title, "Failed to Convert Image"}};
            const std::string err = devilErrorText(d.devilError);
            if (!err.empty()) out.push_back({MessageIcon::Error, title, err});
            return out;
        }
        if (d.status == DecodeStatus::Unreadable)
            return {{MessageIcon::Error, title, devilErrorText(kUnableToOpenFile)}};
        return {{MessageIcon::Error, title, decodeFailureText(d)}};
    case LoadProblem::NoMemory:
        return {{MessageIcon::Error, "Lumivane", kOutOfMemoryText}};
    case LoadProblem::Conversion:
        switch (outcome.conversion.status) {
        case ConversionStatus::NoTransform: {
            // The program's text, then what the library said.
            std::string msg = text(texts, 134);
            if (!outcome.conversion.detail.empty()) msg += "\r\n" + outcome.conversion.detail;
            return {{MessageIcon::Exclamation, title, msg}};
        }
        case ConversionStatus::OutOfMemory:
            return {{MessageIcon::Error, "Lumivane",
                     std::string("1 ") + kOutOfMemoryText + "\r\nLumivane Basic will close"}};
        default:
            return {};
        }
    default:
        return {};
    }
}

std::vector<UserMessage> jobFailureMessages(const TextTable& texts, JobProblem problem) {
    switch (problem) {
    case JobProblem::Unplaceable:
        return {{MessageIcon::Error, text(texts, kTextProgramName), text(texts, 134)}};
    case JobProblem::TooLarge:
        return {{MessageIcon::Error, text(texts, kTextProgramName), text(texts, 135)}};
    default:
        return {};
    }
}

std::string spoolFailureText(const std::string& queue, const std::string& reason) {
    return "The job was not printed: printer queue \"" + queue + "\" - " + reason;
}

std::vector<UserMessage> spoolMessages(const std::string& queue, const SpoolOutcome& outcome,
                                       bool cancelledByUser) {
    if (outcome.queuedButStopped)
        // The job waits in the queue: neither "Sent to Printer" nor "Cancelled" is true.
        return {
            {MessageIcon::Warning, "Lumivane",
             "The job is not printing yet: printer queue \"" + queue + "\" - " + outcome.reason}};
    // The user's own cancel needs no message: the status line says it.
    if (outcome.ok || cancelledByUser) return {};
    return {{MessageIcon::Error, "Lumivane", spoolFailureText(queue, outcome.reason)}};
}

void showMessages(const Feedback& feedback, const std::vector<UserMessage>& messages) {
    for (const UserMessage& m : messages)
        feedback.message(m.icon, m.caption, m.text);
}
