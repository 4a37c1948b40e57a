#pragma once

class QNetworkReply;

// Whether a finished reply carries a whole HTTP answer, error statuses
// included, so that its body is the server's own. A transfer that was
// refused, timed out, cut off or broke the protocol has no answer to read.
bool isHttpAnswer(const QNetworkReply& reply);
