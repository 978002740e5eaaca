// crypto.h on Windows: CNG for digests, CryptoAPI's message functions for
// PKCS#7, as signtool and Windows' own signature checks use them.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include "signing/crypto.h"

struct DigestState {
    BCRYPT_ALG_HANDLE algorithm;
    BCRYPT_HASH_HANDLE hash;
    ULONG size;
    bool failed;
};

namespace {

const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const int kMaxCommonName = 256;

const wchar_t* DigestName(DigestAlgorithm algorithm)
{
    switch (algorithm) {
    case kDigestSha1:
        return BCRYPT_SHA1_ALGORITHM;
    case kDigestSha256:
        return BCRYPT_SHA256_ALGORITHM;
    case kDigestSha384:
        return BCRYPT_SHA384_ALGORITHM;
    case kDigestSha512:
        return BCRYPT_SHA512_ALGORITHM;
    default:
        return nullptr;
    }
}

void CloseDigest(DigestState* state)
{
    if (state->hash != nullptr)
        BCryptDestroyHash(state->hash);
    if (state->algorithm != nullptr)
        BCryptCloseAlgorithmProvider(state->algorithm, 0);
    delete state;
}

std::string SystemError(const char* call)
{
    char code[16];
    wsprintfA(code, "%08lX", GetLastError());
    return std::string(call) + " fails with error 0x" + code;
}

// A parameter of the message, as the two-call pattern asks for it.
bool GetParam(HCRYPTMSG message, DWORD type, DWORD index, std::vector<uint8_t>* bytes)
{
    DWORD size = 0;
    if (!CryptMsgGetParam(message, type, index, nullptr, &size))
        return false;
    bytes->resize(size);
    if (!CryptMsgGetParam(message, type, index, bytes->data(), &size))
        return false;
    bytes->resize(size);
    return true;
}

std::vector<uint8_t> Bytes(const CRYPT_DATA_BLOB& blob)
{
    return std::vector<uint8_t>(blob.pbData, blob.pbData + blob.cbData);
}

std::vector<MessageAttribute> Attributes(const CRYPT_ATTRIBUTES& attributes)
{
    std::vector<MessageAttribute> read;
    for (DWORD i = 0; i < attributes.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
        MessageAttribute one = {attribute.pszObjId != nullptr ? attribute.pszObjId : "", {}};
        for (DWORD j = 0; j < attribute.cValue; ++j)
            one.values.push_back(Bytes(attribute.rgValue[j]));
        read.push_back(one);
    }
    return read;
}

std::string CommonName(PCCERT_CONTEXT certificate)
{
    wchar_t name[kMaxCommonName];
    char text[4 * kMaxCommonName];
    DWORD size = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), name,
                                    kMaxCommonName);
    int bytes = size > 1 ? WideCharToMultiByte(CP_UTF8, 0, name, -1, text, sizeof(text), nullptr, nullptr) : 0;
    return bytes > 1 ? std::string(text, bytes - 1) : std::string();
}

// The signer's certificate from the message's own, and the signature over
// the signed attributes checked with it.
void ReadCertificate(HCRYPTMSG message, HCERTSTORE store, DWORD index, MessageSigner* signer)
{
    std::vector<uint8_t> id;
    if (store == nullptr || !GetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, index, &id))
        return;
    PCCERT_CONTEXT certificate =
        CertGetSubjectCertificateFromStore(store, kEncoding, reinterpret_cast<PCERT_INFO>(id.data()));
    if (certificate == nullptr)
        return;
    signer->certificate.assign(certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
    signer->commonName = CommonName(certificate);
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {sizeof(verify), 0, index, CMSG_VERIFY_SIGNER_CERT,
                                                 const_cast<CERT_CONTEXT*>(certificate)};
    signer->signatureHolds = CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify) != FALSE;
    CertFreeCertificateContext(certificate);
}

std::string ReadSigner(HCRYPTMSG message, HCERTSTORE store, DWORD index, MessageSigner* signer)
{
    std::vector<uint8_t> bytes;
    if (!GetParam(message, CMSG_SIGNER_INFO_PARAM, index, &bytes))
        return SystemError("CryptMsgGetParam(CMSG_SIGNER_INFO_PARAM)");
    const CMSG_SIGNER_INFO* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(bytes.data());
    signer->digestType = info->HashAlgorithm.pszObjId != nullptr ? info->HashAlgorithm.pszObjId : "";
    signer->signedAttributes = Attributes(info->AuthAttrs);
    signer->unsignedAttributes = Attributes(info->UnauthAttrs);
    ReadCertificate(message, store, index, signer);
    return std::string();
}

std::string ReadMessage(HCRYPTMSG message, const uint8_t* der, size_t size, SignedMessage* read)
{
    DWORD type = 0, count = 0, fieldSize = sizeof(DWORD);
    std::vector<uint8_t> bytes;
    if (!CryptMsgUpdate(message, der, static_cast<DWORD>(size), TRUE))
        return SystemError("CryptMsgUpdate");
    if (!CryptMsgGetParam(message, CMSG_TYPE_PARAM, 0, &type, &fieldSize) || type != CMSG_SIGNED)
        return "it is not signed data";
    if (!GetParam(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0, &bytes) || bytes.empty() || bytes.back() != 0)
        return SystemError("CryptMsgGetParam(CMSG_INNER_CONTENT_TYPE_PARAM)");
    read->contentType = reinterpret_cast<const char*>(bytes.data());
    if (!GetParam(message, CMSG_CONTENT_PARAM, 0, &read->content))
        return SystemError("CryptMsgGetParam(CMSG_CONTENT_PARAM)");
    fieldSize = sizeof(DWORD);
    if (!CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &count, &fieldSize))
        return SystemError("CryptMsgGetParam(CMSG_SIGNER_COUNT_PARAM)");
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message);
    std::string problem;
    read->signers.resize(count);
    for (DWORD i = 0; i < count && problem.empty(); ++i)
        problem = ReadSigner(message, store, i, &read->signers[i]);
    if (store != nullptr)
        CertCloseStore(store, 0);
    return problem;
}

}  // namespace

DigestState* DigestBegin(DigestAlgorithm algorithm)
{
    const wchar_t* name = DigestName(algorithm);
    if (name == nullptr)
        return nullptr;
    DigestState* state = new DigestState{nullptr, nullptr, 0, false};
    ULONG got = 0;
    if (BCryptOpenAlgorithmProvider(&state->algorithm, name, nullptr, 0) != 0
        || BCryptGetProperty(state->algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&state->size),
                             sizeof(state->size), &got, 0)
               != 0
        || BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0) != 0) {
        CloseDigest(state);
        return nullptr;
    }
    return state;
}

void DigestAdd(DigestState* state, const uint8_t* data, size_t size)
{
    // Chunks are a mebibyte at most, far below ULONG's range.
    if (state != nullptr && BCryptHashData(state->hash, const_cast<PUCHAR>(data), static_cast<ULONG>(size), 0) != 0)
        state->failed = true;
}

std::vector<uint8_t> DigestEnd(DigestState* state)
{
    if (state == nullptr)
        return std::vector<uint8_t>();
    std::vector<uint8_t> digest(state->size);
    if (BCryptFinishHash(state->hash, digest.data(), state->size, 0) != 0 || state->failed)
        digest.clear();
    CloseDigest(state);
    return digest;
}

std::string DecodeSignedMessage(const uint8_t* der, size_t size, SignedMessage* message)
{
    HCRYPTMSG decoder = CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr);
    if (decoder == nullptr)
        return SystemError("CryptMsgOpenToDecode");
    std::string problem = ReadMessage(decoder, der, size, message);
    CryptMsgClose(decoder);
    return problem;
}

std::string CertificateFromFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* der)
{
    // PEM's base64 between its header lines, or DER as it is. (Wine's
    // CRYPT_STRING_ANY does not take DER.)
    const char* text = reinterpret_cast<const char*>(file.data());
    DWORD size = 0;
    *der = file;
    if (CryptStringToBinaryA(text, static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                             nullptr)) {
        der->resize(size);
        if (!CryptStringToBinaryA(text, static_cast<DWORD>(file.size()), CRYPT_STRING_BASE64HEADER, der->data(), &size,
                                  nullptr, nullptr))
            return SystemError("CryptStringToBinaryA");
    }
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der->data(), static_cast<DWORD>(der->size()));
    if (certificate == nullptr)
        return SystemError("CertCreateCertificateContext");
    // The certificate's own encoding, without anything that followed it.
    der->assign(certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
    CertFreeCertificateContext(certificate);
    return std::string();
}
