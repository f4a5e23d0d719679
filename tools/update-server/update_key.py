#!/usr/bin/python3
"""Update signing keys (ECDSA P-256), with Debian's python3-cryptography.

    update_key.py new PRIVATE.pem        a new key pair; the private key only
                                         readable by its owner
    update_key.py line KEY.pem           the key's line for "update.key"
                                         (KEY.pem private or public)
    update_key.py raw PRIVATE.pem        base64 of X, Y and the private
                                         number d (for tests that sign)

Keep a release's private key offline: the updater trusts every set it signs.
"""
import base64
import os
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec


def load(path):
    with open(path, "rb") as f:
        data = f.read()
    if b"PRIVATE KEY" in data:
        return serialization.load_pem_private_key(data, password=None)
    return serialization.load_pem_public_key(data)


def public_of(key):
    public = key.public_key() if hasattr(key, "private_numbers") else key
    if not isinstance(public, ec.EllipticCurvePublicKey) or public.curve.name != "secp256r1":
        raise SystemExit("update_key.py: not an ECDSA P-256 key")
    return public


def key_line(key):
    point = public_of(key).public_bytes(serialization.Encoding.X962,
                                        serialization.PublicFormat.UncompressedPoint)
    return "ecdsa-p256 " + base64.b64encode(point).decode("ascii")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("new", "line", "raw"):
        sys.stderr.write(__doc__)
        return 2
    verb, path = sys.argv[1], sys.argv[2]
    if verb == "new":
        key = ec.generate_private_key(ec.SECP256R1())
        pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                serialization.NoEncryption())
        tmp = path + ".tmp"
        with open(os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "wb") as f:
            f.write(pem)
        os.replace(tmp, path)
        print(key_line(key))
    elif verb == "line":
        print(key_line(load(path)))
    else:
        numbers = load(path).private_numbers()
        raw = (numbers.public_numbers.x.to_bytes(32, "big") +
               numbers.public_numbers.y.to_bytes(32, "big") +
               numbers.private_value.to_bytes(32, "big"))
        print(base64.b64encode(raw).decode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
