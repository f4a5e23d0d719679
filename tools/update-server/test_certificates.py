#!/usr/bin/python3
"""Throwaway TLS certificates for tests of the update exchange.

    test_certificates.py OUT_DIR

Writes into OUT_DIR a test authority "ca.pem" (to be trusted by the system
for the length of a test only) and, each as NAME.pem with NAME.key:
  good      for "localhost", issued by the test authority;
  wronghost for "otherhost.invalid", issued by the test authority;
  expired   for "localhost", issued by the test authority, expired yesterday;
  unknownca for "localhost", issued by an authority nobody trusts.
Keys are made fresh on every run and never leave OUT_DIR. Uses Debian's
python3-cryptography.
"""
import datetime
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID


def name(common):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common)])


def authority(common, now):
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    cert = (x509.CertificateBuilder().subject_name(name(common)).issuer_name(name(common))
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1))
            .not_valid_after(now + datetime.timedelta(days=2))
            .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
            .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False,
                                         False), critical=True)
            .sign(key, hashes.SHA256()))
    return key, cert


def leaf(host, issuer_key, issuer_cert, before, after):
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    cert = (x509.CertificateBuilder().subject_name(name(host))
            .issuer_name(issuer_cert.subject).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(before).not_valid_after(after)
            .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .add_extension(x509.ExtendedKeyUsage([x509.ExtendedKeyUsageOID.SERVER_AUTH]),
                           critical=False)
            .sign(issuer_key, hashes.SHA256()))
    return key, cert


def write(out, stem, key, cert):
    with open(os.path.join(out, stem + ".pem"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    if key is not None:
        path = os.path.join(out, stem + ".key")
        with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "wb") as f:
            f.write(key.private_bytes(serialization.Encoding.PEM,
                                      serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    day = datetime.timedelta(days=1)
    ca_key, ca = authority("Quellix throwaway test CA %d" % os.getpid(), now)
    other_key, other = authority("Quellix untrusted test CA", now)
    write(out, "ca", None, ca)
    write(out, "good", *leaf("localhost", ca_key, ca, now - day, now + day))
    write(out, "wronghost", *leaf("otherhost.invalid", ca_key, ca, now - day, now + day))
    write(out, "expired", *leaf("localhost", ca_key, ca, now - 3 * day, now - day))
    write(out, "unknownca", *leaf("localhost", other_key, other, now - day, now + day))


if __name__ == "__main__":
    sys.exit(main())
