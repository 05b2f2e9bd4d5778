#pragma once

#include "account/AccountReply.h"
#include "online/ServiceReply.h"

// What the upload page makes of the service's answer.
struct UploadOutcome {
    bool success = false; // the panel closes
    MessageBox box;
    // The upload limit the service named in a refusal (bytes), 0 when it named none.
    qint64 learnedLimit = 0;
};

namespace UploadReply {

// A 200 answer is GB2312 text "code|message": code 1 is success ("上传成功"), any other
// number a refusal ("上传失败") with the message; an answer without "|" or with a code that
// is no number is a failure showing the raw text. Any other status is a failure too,
// told in words: 413 names the limit (from the X-Upload-Limit header, else `knownLimit`).
// No answer after the whole body went out is not called a failure: the book may have
// arrived, and "我上传的电子书" shows whether it did.
UploadOutcome read(const ServiceReply& reply, qint64 knownLimit);

} // namespace UploadReply
