;;; Looks readings up in a converted dictionary with Emacs SKK (ddskk).
;;; emacs -Q --batch -l emacs_lookup.el DICTIONARY CODING READINGS
;;; READINGS holds one reading a line, as hex of its bytes in CODING. For
;;; each, prints "R<hex>" and, for every candidate, a TAB and "w<hex>" of
;;; the word as ddskk would insert it (annotation cut, Lisp evaluated),
;;; encoded back to CODING.
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(require 'skk)
(require 'skk-vars)
;; Readings holding digits are looked up as they are, not as numbers.
(setq skk-use-numeric-conversion nil)

(defun brenlow-hex (bytes)
  (mapconcat (lambda (b) (format "%02x" b)) bytes ""))

(defun brenlow-unhex (hex)
  (let ((bytes nil) (i 0))
    (while (< i (length hex))
      (push (string-to-number (substring hex i (+ i 2)) 16) bytes)
      (setq i (+ i 2)))
    (apply #'unibyte-string (nreverse bytes))))

(let* ((dictionary (nth 0 command-line-args-left))
       (coding (intern (nth 1 command-line-args-left)))
       (readings-file (nth 2 command-line-args-left))
       (skk-large-jisyo (cons dictionary coding))
       (readings (with-temp-buffer
                   (insert-file-contents-literally readings-file)
                   (split-string (buffer-string) "\n" t))))
  (setq command-line-args-left nil)
  (dolist (hex readings)
    (let ((skk-henkan-key (decode-coding-string (brenlow-unhex hex) coding))
          (skk-henkan-okurigana nil)
          (skk-okuri-char nil)
          (line (concat "R" hex)))
      (dolist (candidate (skk-search-jisyo-file skk-large-jisyo 0 t))
        (let* ((word (car (skk-treat-strip-note-from-word candidate)))
               (final (condition-case err
                          (if (skk-lisp-prog-p word) (skk-eval-string word) word)
                        (error (format "<error %S>" err)))))
          (setq line (concat line "\tw"
                             (brenlow-hex (encode-coding-string final coding))))))
      (princ (concat line "\n")))))
