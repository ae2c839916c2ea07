;;; make_output_tables.el --- writes encodings/output_tables.inc -*- lexical-binding: t -*-
;;
;; emacs -Q --batch -l tools/make_output_tables.el encodings/output_tables.inc
;;
;; brenlow writes a dictionary in code page 932, EUC-JP or EUC-JIS-2004 the
;; way Emacs's coders `cp932', `euc-jp' and `euc-jis-2004' read and write
;; it, since Emacs SKK reads the file with one of them. This asks Emacs, in
;; the Japanese language environment (as a Japanese user's Emacs runs), for
;; the character each code decodes to (`decode-coding-string') and the code
;; each such character encodes to (`encode-coding-char').
;;
;; The codes asked for, each table dense and indexed by the code (0 where
;; the code is no character):
;;
;; - cp932: every single byte; every pair of a lead byte 0x81-0x9F or
;;   0xE0-0xFC and a trail byte 0x40-0xFC, indexed by lead index * 189 +
;;   trail - 0x40, the lead index being lead - 0x81 or lead - 0xC1 (0x7F
;;   is no trail byte and stays 0).
;; - euc-jp and euc-jis-2004: half-width katakana 0x8E followed by
;;   0xA1-0xFE, indexed by the second byte - 0xA1; pairs of two bytes
;;   0xA1-0xFE and triples of 0x8F and two such bytes, indexed by (first -
;;   0xA1) * 94 + second - 0xA1 of their last two bytes.
;;
;; The bytes 0x00-0x7F are ASCII in all three (the script checks it), and
;; are not in the EUC tables. A code is kept when it decodes to exactly one
;; character of Unicode (not to two, as some JIS X 0213 kana with a sound
;; mark do, nor to a character of Emacs's own beyond U+10FFFF, nor to a raw
;; byte).
;;
;; Then, for each coding, the codes brenlow must never write, ascending and
;; ended by 0xFFFFFFFF (no code), each with the code Emacs writes its
;; character as (0 for none): codes whose character
;; Emacs encodes to another code (code page 932's NEC and IBM duplicates),
;; or does not encode at all, or only with an ISO-2022 escape (euc-jp
;; writes U+00A5 as ESC ( J 0x5C ESC ( B, which is no EUC code; an
;; unencodable character becomes nil). brenlow's encoder is the inverse of
;; the decoding table less those codes; the script checks that every other
;; kept code is exactly what its character encodes to, so that the inverse
;; is a function and writing then reading gives the same character.

(set-language-environment "Japanese")

(defun brenlow-bytes-code (bytes)
  "The unibyte string BYTES as a big-endian number."
  (let ((code 0))
    (dotimes (i (length bytes))
      (setq code (+ (* code 256) (aref bytes i))))
    code))

(defun brenlow-code-bytes (code)
  "CODE (one to three bytes, big-endian) as a unibyte string."
  (cond ((< code #x100) (unibyte-string code))
        ((< code #x10000) (unibyte-string (ash code -8) (logand code #xff)))
        (t (unibyte-string (ash code -16) (logand (ash code -8) #xff)
                           (logand code #xff)))))

(defun brenlow-decoded (coding code)
  "The one Unicode character CODE decodes to in CODING, or nil."
  (let ((text (decode-coding-string (brenlow-code-bytes code) coding)))
    (when (and (= (length text) 1)
               (<= (aref text 0) #x10ffff))
      (aref text 0))))

(defun brenlow-proper-code (coding bytes)
  "BYTES as a code of CODING's tables, or nil if they are not one (such
as an ISO-2022 escape sequence and what it announces)."
  (let ((n (length bytes))
        (b (lambda (i) (aref bytes i)))
        (euc (lambda (byte) (<= #xa1 byte #xfe))))
    (when (and (> n 0)
               (cond
                ((eq coding 'cp932)
                 (or (= n 1)
                     (and (= n 2)
                          (or (<= #x81 (funcall b 0) #x9f)
                              (<= #xe0 (funcall b 0) #xfc))
                          (<= #x40 (funcall b 1) #xfc)
                          (/= (funcall b 1) #x7f))))
                (t
                 (or (and (= n 1) (< (funcall b 0) #x80))
                     (and (= n 2) (= (funcall b 0) #x8e)
                          (funcall euc (funcall b 1)))
                     (and (= n 2) (funcall euc (funcall b 0))
                          (funcall euc (funcall b 1)))
                     (and (= n 3) (= (funcall b 0) #x8f)
                          (funcall euc (funcall b 1))
                          (funcall euc (funcall b 2)))))))
      (brenlow-bytes-code bytes))))

(defun brenlow-cp932-codes ()
  "The codes of cp932's tables, in table order: singles, then pairs."
  (let ((codes nil))
    (dotimes (byte 256) (push byte codes))
    (dolist (lead (append (number-sequence #x81 #x9f)
                          (number-sequence #xe0 #xfc)))
      (dolist (trail (number-sequence #x40 #xfc))
        (push (+ (* lead 256) trail) codes)))
    (nreverse codes)))

(defun brenlow-euc-codes (first)
  "The codes of an EUC table: 0x8E kana when FIRST is #x8e, pairs when it
is nil, triples when it is #x8f; in table order."
  (let ((codes nil))
    (if (eql first #x8e)
        (dolist (second (number-sequence #xa1 #xfe))
          (push (+ #x8e00 second) codes))
      (dolist (high (number-sequence #xa1 #xfe))
        (dolist (low (number-sequence #xa1 #xfe))
          (push (+ (if first (* first 65536) 0) (* high 256) low) codes))))
    (nreverse codes)))

(defun brenlow-check-ascii (coding)
  "Fails unless CODING decodes and encodes every byte 0x00-0x7F as itself."
  (dotimes (byte 128)
    (unless (and (eql (brenlow-decoded (intern (format "%s-unix" coding)) byte)
                      byte)
                 (equal (encode-coding-char byte coding) (unibyte-string byte)))
      (error "%s: byte 0x%02X is not ASCII" coding byte))))

(defun brenlow-study (coding tables)
  "Decodes every code of TABLES ((name . codes) ...) in CODING.
Returns (decoded-tables . not-written): each table as (name . values), and
the codes never to write as ((code . preferred) ...) ascending."
  (let ((decoded (make-hash-table))
        (not-written nil)
        (unix (intern (format "%s-unix" coding))))
    (dolist (table tables)
      (dolist (code (cdr table))
        (let ((character (brenlow-decoded unix code)))
          (when character (puthash code character decoded)))))
    (maphash
     (lambda (code character)
       (let* ((bytes (encode-coding-char character coding))
              (preferred (and bytes (brenlow-proper-code coding bytes))))
         (cond
          ((eql preferred code))
          ;; Another code of the same character: Emacs writes that one.
          ((and preferred
                (eql (if (< preferred #x80) preferred
                       (gethash preferred decoded))
                     character))
           (push (cons code preferred) not-written))
          ;; nil, an escape, or a code that reads back as another
          ;; character: Emacs cannot write this one as a code.
          (t
           (when preferred
             (message "%s: 0x%X (U+%04X) encodes to 0x%X, another character"
                      coding code character preferred))
           (push (cons code 0) not-written)))))
     decoded)
    (setq not-written (sort not-written (lambda (a b) (< (car a) (car b)))))
    ;; What brenlow writes, read back: every kept code not in the list is
    ;; what its character encodes to, and no character has two such codes.
    (let ((written (make-hash-table)))
      (maphash
       (lambda (code character)
         (unless (assq code not-written)
           (unless (equal (encode-coding-char character coding)
                          (brenlow-code-bytes code))
             (error "%s: 0x%X does not round-trip" coding code))
           (when (gethash character written)
             (error "%s: U+%04X written as 0x%X and 0x%X" coding character
                    (gethash character written) code))
           (puthash character code written)))
       decoded))
    (cons (mapcar (lambda (table)
                    (cons (car table)
                          (mapcar (lambda (code) (gethash code decoded 0))
                                  (cdr table))))
                  tables)
          not-written)))

(defun brenlow-insert-array (name values)
  "Inserts VALUES as the C++ array NAME of char32_t, eight a line."
  (insert (format "constexpr char32_t %s[%d] = {" name (length values)))
  (let ((column 0))
    (dolist (value values)
      (insert (if (= (% column 8) 0) "\n   " "") (format " 0x%x," value))
      (setq column (1+ column))))
  (insert "\n};\n\n"))

(defun brenlow-insert-not-written (name not-written)
  "Inserts NOT-WRITTEN as the C++ array NAME of output_code_pair, ended
by a row of code 0xFFFFFFFF (no code), so that no array is empty."
  (insert (format "constexpr output_code_pair %s[%d] = {\n" name
                  (1+ (length not-written))))
  (dolist (pair not-written)
    (insert (format "    {0x%X, 0x%X},\n" (car pair) (cdr pair))))
  (insert "    {0xFFFFFFFF, 0x0},\n};\n\n"))

(defun brenlow-insert-coding (coding prefix tables)
  "Studies CODING and inserts its TABLES and its codes not written, their
C++ names starting with PREFIX."
  (brenlow-check-ascii coding)
  (let ((study (brenlow-study coding tables)))
    (dolist (table (car study))
      (brenlow-insert-array (format "%s_%s" prefix (car table)) (cdr table)))
    (brenlow-insert-not-written (format "%s_not_written" prefix) (cdr study))
    (message "%s: %d codes not written" coding (length (cdr study)))))

(let ((output (or (car command-line-args-left)
                  (expand-file-name "../encodings/output_tables.inc"
                                    (file-name-directory load-file-name)))))
  (setq command-line-args-left nil)
  (with-temp-file output
    (set-buffer-file-coding-system 'utf-8-unix)
    (insert "// Generated by tools/make_output_tables.el from "
            (format "GNU Emacs %s" emacs-version)
            " in the Japanese\n// language environment. Do not edit: run the script again.\n"
            "// The character each code decodes to (0 for none), dense and indexed\n"
            "// by the code as the script tells; then the codes never written, each\n"
            "// with the code Emacs writes its character as (0 for none), ended by\n"
            "// 0xFFFFFFFF.\n\n")
    (insert "// cp932: single bytes, then lead index * 189 + trail - 0x40.\n")
    (let ((codes (brenlow-cp932-codes)))
      (brenlow-insert-coding 'cp932 "cp932"
                             (list (cons "single" (seq-take codes 256))
                                   (cons "pairs" (nthcdr 256 codes)))))
    (dolist (coding '((euc-jp . "euc_jp") (euc-jis-2004 . "euc_jis_2004")))
      (insert (format "// %s: 0x8E kana, pairs and 0x8F triples.\n" (car coding)))
      (brenlow-insert-coding (car coding) (cdr coding)
                             (list (cons "kana" (brenlow-euc-codes #x8e))
                                   (cons "pairs" (brenlow-euc-codes nil))
                                   (cons "triples" (brenlow-euc-codes #x8f)))))))
