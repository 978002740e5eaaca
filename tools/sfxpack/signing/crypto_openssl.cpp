// crypto.h on Linux: OpenSSL's libcrypto.
#include <limits.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "signing/crypto.h"

struct DigestState {
    EVP_MD_CTX* context;
    bool failed;
};

namespace {

const int kMaxOidText = 128;

const EVP_MD* DigestType(DigestAlgorithm algorithm)
{
    switch (algorithm) {
    case kDigestSha1:
        return EVP_sha1();
    case kDigestSha256:
        return EVP_sha256();
    case kDigestSha384:
        return EVP_sha384();
    case kDigestSha512:
        return EVP_sha512();
    default:
        return nullptr;
    }
}

std::string Dotted(const ASN1_OBJECT* object)
{
    char text[kMaxOidText];
    int size = OBJ_obj2txt(text, sizeof(text), object, 1);
    return size > 0 && size < kMaxOidText ? std::string(text, size) : std::string();
}

std::vector<uint8_t> Bytes(const unsigned char* data, int size)
{
    return size > 0 ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

std::vector<uint8_t> TypeDer(const ASN1_TYPE* value)
{
    unsigned char* der = nullptr;
    int size = i2d_ASN1_TYPE(value, &der);
    std::vector<uint8_t> bytes = Bytes(der, size);
    OPENSSL_free(der);
    return bytes;
}

std::string CommonName(X509* certificate)
{
    X509_NAME* subject = X509_get_subject_name(certificate);
    int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    unsigned char* text = nullptr;
    int size = index < 0 ? -1 : ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
    std::string name = size > 0 ? std::string(reinterpret_cast<char*>(text), size) : std::string();
    OPENSSL_free(text);
    return name;
}

std::vector<MessageAttribute> Attributes(STACK_OF(X509_ATTRIBUTE)* attributes)
{
    std::vector<MessageAttribute> read;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
        MessageAttribute one = {Dotted(X509_ATTRIBUTE_get0_object(attribute)), {}};
        for (int j = 0; j < X509_ATTRIBUTE_count(attribute); ++j)
            one.values.push_back(TypeDer(X509_ATTRIBUTE_get0_type(attribute, j)));
        read.push_back(one);
    }
    return read;
}

// The signer's signature over its signed attributes, as received (the order
// they came in), checked with the certificate's key: what PKCS7_signatureVerify
// does once it has compared the messageDigest, which the caller compares.
bool SignatureHolds(PKCS7_SIGNER_INFO* signer, X509* certificate)
{
    const EVP_MD* type = EVP_get_digestbyobj(signer->digest_alg->algorithm);
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (type == nullptr || key == nullptr || sk_X509_ATTRIBUTE_num(signer->auth_attr) <= 0)
        return false;
    unsigned char* attributes = nullptr;
    int size = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(signer->auth_attr), &attributes,
                             ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool holds = size > 0 && context != nullptr && EVP_DigestVerifyInit(context, nullptr, type, nullptr, key) == 1
                 && EVP_DigestVerify(context, signer->enc_digest->data, signer->enc_digest->length, attributes, size)
                        == 1;
    EVP_MD_CTX_free(context);
    OPENSSL_free(attributes);
    return holds;
}

MessageSigner ReadSigner(PKCS7* message, PKCS7_SIGNER_INFO* info)
{
    MessageSigner signer = {Dotted(info->digest_alg->algorithm), {}, std::string(), false,
                            Attributes(info->auth_attr), Attributes(info->unauth_attr)};
    X509* certificate = X509_find_by_issuer_and_serial(message->d.sign->cert, info->issuer_and_serial->issuer,
                                                       info->issuer_and_serial->serial);
    if (certificate != nullptr) {
        unsigned char* der = nullptr;
        int size = i2d_X509(certificate, &der);
        signer.certificate = Bytes(der, size);
        OPENSSL_free(der);
        signer.commonName = CommonName(certificate);
        signer.signatureHolds = SignatureHolds(info, certificate);
    }
    return signer;
}

std::string ReadMessage(PKCS7* message, SignedMessage* read)
{
    if (!PKCS7_type_is_signed(message) || message->d.sign == nullptr || message->d.sign->contents == nullptr)
        return "it is not signed data";
    PKCS7* content = message->d.sign->contents;
    read->contentType = Dotted(content->type);
    // Content of a type PKCS#7 does not define, as Authenticode's, is kept as it came.
    int known = OBJ_obj2nid(content->type);
    if ((known < NID_pkcs7_data || known > NID_pkcs7_encrypted) && content->d.other != nullptr
        && content->d.other->type == V_ASN1_SEQUENCE)
        read->content = Bytes(content->d.other->value.sequence->data, content->d.other->value.sequence->length);
    STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(message);
    for (int i = 0; i < sk_PKCS7_SIGNER_INFO_num(signers); ++i)
        read->signers.push_back(ReadSigner(message, sk_PKCS7_SIGNER_INFO_value(signers, i)));
    return std::string();
}

}  // namespace

DigestState* DigestBegin(DigestAlgorithm algorithm)
{
    const EVP_MD* type = DigestType(algorithm);
    EVP_MD_CTX* context = type != nullptr ? EVP_MD_CTX_new() : nullptr;
    if (context == nullptr || EVP_DigestInit_ex(context, type, nullptr) != 1) {
        EVP_MD_CTX_free(context);
        return nullptr;
    }
    return new DigestState{context, false};
}

void DigestAdd(DigestState* state, const uint8_t* data, size_t size)
{
    if (state != nullptr && EVP_DigestUpdate(state->context, data, size) != 1)
        state->failed = true;
}

std::vector<uint8_t> DigestEnd(DigestState* state)
{
    if (state == nullptr)
        return std::vector<uint8_t>();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    bool ended = EVP_DigestFinal_ex(state->context, digest, &size) == 1 && !state->failed;
    EVP_MD_CTX_free(state->context);
    delete state;
    return ended ? std::vector<uint8_t>(digest, digest + size) : std::vector<uint8_t>();
}

std::string DecodeSignedMessage(const uint8_t* der, size_t size, SignedMessage* message)
{
    const unsigned char* at = der;
    PKCS7* decoded = size <= LONG_MAX ? d2i_PKCS7(nullptr, &at, static_cast<long>(size)) : nullptr;
    std::string problem;
    const char* reason = ERR_reason_error_string(ERR_peek_last_error());
    if (decoded == nullptr)
        problem = std::string("OpenSSL cannot decode it: ") + (reason != nullptr ? reason : "no reason given");
    else if (at != der + size)
        problem = "bytes follow it inside its own length";
    else
        problem = ReadMessage(decoded, message);
    PKCS7_free(decoded);
    ERR_clear_error();
    return problem;
}

std::string CertificateFromFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* der)
{
    BIO* input = BIO_new_mem_buf(file.data(), static_cast<int>(file.size()));
    X509* certificate = input != nullptr ? PEM_read_bio_X509(input, nullptr, nullptr, nullptr) : nullptr;
    if (certificate == nullptr) {
        const unsigned char* at = file.data();
        certificate = d2i_X509(nullptr, &at, static_cast<long>(file.size()));
    }
    BIO_free(input);
    ERR_clear_error();
    if (certificate == nullptr)
        return "OpenSSL reads neither a PEM nor a DER certificate in it";
    unsigned char* bytes = nullptr;
    int size = i2d_X509(certificate, &bytes);
    *der = Bytes(bytes, size);
    OPENSSL_free(bytes);
    X509_free(certificate);
    return der->empty() ? "it cannot be encoded again" : std::string();
}
