;;; make_emacs_mule_order.el --- writes dictionary/emacs_mule_order.inc -*- lexical-binding: t -*-
;;
;; emacs -Q --batch -l tools/make_emacs_mule_order.el dictionary/emacs_mule_order.inc
;;
;; Emacs SKK binary-searches a dictionary comparing readings as their
;; emacs-mule bytes (`skk-string<' in skk-macs.el), after decoding the file
;; with the coding system the user gave. brenlow sorts the same way, so it
;; needs each character's emacs-mule bytes; this asks Emacs itself for them
;; (`encode-coding-string' in the Japanese language environment, as a
;; Japanese user's Emacs runs), for two kinds of output:
;;
;; - Shift_JIS output, read as `cp932': every single byte and every pair of
;;   a lead byte (0x81-0x9F, 0xE0-0xFF) and any byte, keyed by the byte or by
;;   lead * 256 + second byte. A pair Emacs does not decode as one character
;;   is left out (its bytes count one by one).
;; - UTF-8 output, read as `utf-8': every code point of the Basic
;;   Multilingual Plane except the surrogates and the characters emacs-mule
;;   has no place for (it writes a space for them). Characters beyond it that
;;   emacs-mule can place are CJK ideographs of plane 2 (no reading one
;;   types holds them); the rest, such as emoji, become a space there.
;;
;; A character's value is its emacs-mule bytes as a big-endian number (one
;; to four bytes; a character of two or more bytes starts with a byte of
;; 0x80 or more, so the value tells its length). Values are written as
;; segments of consecutive keys: a run whose values count up by one from
;; the first, or a list of values.

(set-language-environment "Japanese")

(defun brenlow-mule-value (string)
  "STRING's emacs-mule bytes as a number, or nil unless it is one character."
  (when (= (length string) 1)
    (let ((bytes (encode-coding-string string 'emacs-mule))
          (value 0))
      (dotimes (i (length bytes))
        (setq value (+ (* value 256) (aref bytes i))))
      value)))

(defun brenlow-shift-jis-values ()
  "((key . value) ...) for Shift_JIS text read as cp932, keys ascending."
  (let ((values nil))
    (dotimes (byte 256)
      (let ((value (brenlow-mule-value
                    (decode-coding-string (unibyte-string byte) 'cp932-unix))))
        (when (and value (> byte 0))
          (push (cons byte value) values))))
    (dolist (lead (append (number-sequence #x81 #x9f)
                          (number-sequence #xe0 #xff)))
      (dotimes (second 256)
        (let ((value (brenlow-mule-value
                      (decode-coding-string (unibyte-string lead second)
                                            'cp932-unix))))
          (when value
            (push (cons (+ (* lead 256) second) value) values)))))
    (nreverse values)))

(defun brenlow-unicode-values ()
  "((code point . value) ...) for the Basic Multilingual Plane."
  (let ((values nil))
    (dotimes (code-point #x10000)
      (let ((value (brenlow-mule-value (string code-point))))
        ;; Characters emacs-mule has no place for become a space: left out.
        (unless (or (= code-point 0) (<= #xd800 code-point #xdfff)
                    (and (= value #x20) (/= code-point #x20)))
          (push (cons code-point value) values))))
    (nreverse values)))

(defun brenlow-segments (values)
  "VALUES as segments (first-key count run-value-or-nil list-of-values).
A run of at least four keys whose values count up by one is one segment;
other consecutive keys share a list."
  (let ((segments nil) (rest values))
    (while rest
      (let* ((first (car rest))
             (run 1)
             (next (cdr rest))
             (previous (car segments)))
        (while (and next
                    (= (car (car next)) (+ (car first) run))
                    (= (cdr (car next)) (+ (cdr first) run)))
          (setq run (1+ run) next (cdr next)))
        (cond
         ((>= run 4)
          (push (list (car first) run (cdr first) nil) segments))
         ;; Extend the list segment just before when it ends right here.
         ((and previous (null (nth 2 previous))
               (= (+ (nth 0 previous) (nth 1 previous)) (car first)))
          (setcar (nthcdr 1 previous) (+ (nth 1 previous) run))
          (dotimes (i run)
            (push (cdr (nth i rest)) (nth 3 previous))))
         (t
          (let ((listed nil))
            (dotimes (i run)
              (push (cdr (nth i rest)) listed))
            (push (list (car first) run nil listed) segments))))
        (setq rest next)))
    ;; List values were pushed, last first.
    (mapcar (lambda (segment)
              (list (nth 0 segment) (nth 1 segment) (nth 2 segment)
                    (nreverse (nth 3 segment))))
            (nreverse segments))))

(defun brenlow-insert-table (name segments)
  "Inserts SEGMENTS as the C++ arrays NAME_segments and NAME_listed."
  (let ((listed 0))
    (insert (format "constexpr emacs_mule_segment %s_segments[] = {\n" name))
    (dolist (segment segments)
      (if (nth 2 segment)
          (insert (format "    {0x%x, %d, 0x%x, false},\n"
                          (nth 0 segment) (nth 1 segment) (nth 2 segment)))
        (insert (format "    {0x%x, %d, %d, true},\n"
                        (nth 0 segment) (nth 1 segment) listed))
        (setq listed (+ listed (nth 1 segment)))))
    (insert "};\n\n")
    (insert (format "constexpr std::uint32_t %s_listed[] = {" name))
    (let ((column 0))
      (dolist (segment segments)
        (dolist (value (nth 3 segment))
          (insert (if (= (% column 8) 0) "\n   " "") (format " 0x%x," value))
          (setq column (1+ column)))))
    (insert "\n};\n\n")))

(let ((output (car command-line-args-left)))
  (setq command-line-args-left nil)
  (with-temp-file output
    (set-buffer-file-coding-system 'utf-8-unix)
    (insert "// Generated by tools/make_emacs_mule_order.el from "
            (format "GNU Emacs %s" emacs-version)
            " in the Japanese\n// language environment. Do not edit: run the script again.\n"
            "// Each character's emacs-mule bytes as a big-endian number; see the\n"
            "// script for the keys.\n\n")
    (insert "// Shift_JIS output read as cp932: single bytes and lead * 256 + second byte.\n")
    (brenlow-insert-table "shift_jis" (brenlow-segments (brenlow-shift-jis-values)))
    (insert "// UTF-8 output read as utf-8: code points of the Basic Multilingual Plane.\n")
    (brenlow-insert-table "unicode" (brenlow-segments (brenlow-unicode-values)))))
