#!/usr/bin/env python3
# Reads a stored mail with Python's own MIME parser, independent of ours:
# finds the mail under the maildir ROOT whose decoded subject is SUBJECT and
# prints its content types, the attachment's file name, length and SHA-256,
# then the text part.  Usage: mime_check.py ROOT SUBJECT
import email, email.policy, hashlib, os, sys

root, subject = sys.argv[1], sys.argv[2]
for folder, _, names in os.walk(root):
    for name in names if os.path.basename(folder) in ("cur", "new") else ():
        with open(os.path.join(folder, name), "rb") as f:
            mail = email.message_from_binary_file(f, policy=email.policy.default)
        if str(mail["subject"]) != subject:
            continue
        text, attachment = list(mail.iter_parts())
        data = attachment.get_payload(decode=True)
        print(mail.get_content_type(), text.get_content_type(), attachment.get_content_disposition())
        print(attachment.get_filename(), len(data), hashlib.sha256(data).hexdigest())
        print(text.get_content(), end="")
        sys.exit(0)
sys.exit("no mail with that subject")
