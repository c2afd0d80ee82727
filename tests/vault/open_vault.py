#!/usr/bin/python3
"""An independent reader of vault files, written from README.md's section
"Vaults" alone (Python's cryptography and argon2-cffi, no Vantlo code).

usage: open_vault.py VAULT_TEXT SEALED_FILE SEALED_NAME OUT
The passphrase comes from VANTLO_VAULT_PASSPHRASE. Prints the plain name
and writes the plain file to OUT. Exit status 1 with a message when
anything fails to authenticate (OUT may then hold a part: a sketch).
"""
import base64
import hashlib
import hmac
import os
import struct
import sys

from argon2.low_level import Type, hash_secret_raw
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.ciphers.aead import AESSIV, ChaCha20Poly1305
from cryptography.hazmat.primitives.kdf.hkdf import HKDF
from cryptography.hazmat.primitives.keywrap import aes_key_unwrap

RECORD = 65536
TAG = 16


def hkdf(master, vault_id, info, length):
    return HKDF(algorithm=hashes.SHA256(), length=length, salt=vault_id, info=info).derive(master)


def read_parameters(text):
    fields = {}
    for line in text.splitlines():
        if line.strip():
            key, value = line.split(": ", 1)
            fields[key] = value
    if fields["vantlo-vault"] != "1" or fields["kdf"] != "argon2id":
        raise ValueError("not a vault of format 1")
    return fields


def master_key(text, passphrase):
    f = read_parameters(text)
    vault_id = bytes.fromhex(f["vault-id"])
    kek = hash_secret_raw(passphrase.encode(), bytes.fromhex(f["salt"]), time_cost=int(f["kdf-passes"]),
                          memory_cost=int(f["kdf-memory"]), parallelism=int(f["kdf-lanes"]), hash_len=32,
                          type=Type.ID, version=19)
    master = aes_key_unwrap(kek, bytes.fromhex(f["wrapped-key"]))
    covered = "".join(f"{k}: {f[k]}\n" for k in ("vantlo-vault", "vault-id", "kdf", "kdf-memory", "kdf-passes",
                                                 "kdf-lanes", "salt", "wrapped-key"))
    check = hmac.new(hkdf(master, vault_id, b"vantlo-vault-1 check", 32), covered.encode(), hashlib.sha256).digest()
    if not hmac.compare_digest(check, bytes.fromhex(f["check"])):
        raise ValueError("the vault parameters' check does not match")
    return master, vault_id


def open_name(master, vault_id, sealed):
    text = sealed.upper() + "=" * (-len(sealed) % 8)
    data = base64.b32decode(text)
    siv = AESSIV(hkdf(master, vault_id, b"vantlo-vault-1 name", 64))
    # cryptography's AESSIV takes the synthetic IV first, as stored.
    return siv.decrypt(data, None).decode("utf-8")


def open_file(master, vault_id, sealed, name, out):
    header = sealed[:24]
    if len(header) < 24 or header[:8] != b"VNTLOVF1":
        raise ValueError("not a vault file")
    aead = ChaCha20Poly1305(hkdf(master, vault_id, b"vantlo-vault-1 file" + header[8:], 32))
    body = sealed[24:]
    plain_sha = hashlib.sha256()
    record = 0
    while True:
        chunk = body[record * (RECORD + TAG):(record + 1) * (RECORD + TAG)]
        last = (record + 1) * (RECORD + TAG) >= len(body)
        nonce = struct.pack(">QI", record, 1 if last else 0)
        ad = header + struct.pack(">QB", record, 1 if last else 0)
        plain = aead.decrypt(nonce, chunk, ad)
        plain_sha.update(plain)
        out.write(plain)
        if last:
            break
        record += 1
    # The file id must be the one of this name and these bytes.
    file_id = hmac.new(hkdf(master, vault_id, b"vantlo-vault-1 file-id", 32), plain_sha.digest() + name.encode(),
                       hashlib.sha256).digest()[:16]
    if not hmac.compare_digest(file_id, header[8:]):
        raise ValueError("the file belongs to another name or other bytes")


def main():
    parameters, sealed_file, sealed_name, target = sys.argv[1:5]
    with open(parameters, encoding="utf-8") as f:
        master, vault_id = master_key(f.read(), os.environ["VANTLO_VAULT_PASSPHRASE"])
    name = open_name(master, vault_id, sealed_name)
    with open(sealed_file, "rb") as f, open(target, "wb") as out:
        open_file(master, vault_id, f.read(), name, out)
    print(name)


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # any failure to authenticate or parse
        print(f"open_vault.py: {type(error).__name__}: {error}", file=sys.stderr)
        sys.exit(1)
